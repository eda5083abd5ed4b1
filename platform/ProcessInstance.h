#pragma once

// Makes the first object of T constructed the process-wide instance, until
// it is destroyed: the program's one main view, file list, duplicates window
// and folder tree are reached this way. Derive as
// `class Foo : public ProcessInstance<Foo>`. UI thread only.
template <class T>
class ProcessInstance {
public:
    // The instance, or null while none exists.
    // The cast is made here, not in the constructor or destructor: there
    // the T part of the object is not alive, and a downcast to it is
    // undefined.
    static T* Instance() { return static_cast<T*>(s_instance); }

protected:
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
