#pragma once

// Makes the first object of T constructed the process-wide instance, until
// it is destroyed: the program's one main view, file list, duplicates window
// and folder tree are reached this way. Derive as
// `class Foo : public ProcessInstance<Foo>`. UI thread only.
template <class T>
class ProcessInstance {
public:
    // The instance, or null while none exists.
    static T* Instance() { return s_instance != nullptr ? static_cast<T*>(s_instance) : nullptr; }

protected:
    // The T part does not exist yet while this constructor runs (nor any
    // more in the destructor): keep the base pointer and cast only when the
    // instance is asked for.
    ProcessInstance()
    {
        if (s_instance == nullptr) {
            s_instance = this;
        }
    }
    ~ProcessInstance()
    {
        if (s_instance == this) {
            s_instance = nullptr;
        }
    }
    ProcessInstance(const ProcessInstance&) = delete;
    ProcessInstance& operator=(const ProcessInstance&) = delete;

private:
    inline static ProcessInstance* s_instance = nullptr;
};
