#pragma once

#include <QAbstractItemModelTester>

#include <memory>

namespace testsupport {

// Watches an item model with QAbstractItemModelTester from construction to
// Finish() and counts the rules of QAbstractItemModel it broke (the tester's
// warnings). It holds Qt's message handler meanwhile, so one watches at a
// time. Header-only: the support library does not link Qt Test.
class ModelRuleCheck {
public:
    explicit ModelRuleCheck(QAbstractItemModel* model)
    {
        s_warnings = 0;
        m_previous = qInstallMessageHandler(&ModelRuleCheck::Count);
        m_tester = std::make_unique<QAbstractItemModelTester>(
            model, QAbstractItemModelTester::FailureReportingMode::Warning);
    }
    ~ModelRuleCheck() { Finish(); }

    // Stops watching, gives the message handler back and returns the number
    // of broken rules seen.
    int Finish()
    {
        if (m_tester) {
            m_tester.reset();
            qInstallMessageHandler(m_previous);
        }
        return s_warnings;
    }

private:
    static void Count(QtMsgType type, const QMessageLogContext&, const QString&)
    {
        if (type != QtDebugMsg && type != QtInfoMsg) ++s_warnings;
    }

    static inline int s_warnings = 0;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    QtMessageHandler m_previous = nullptr;
};

}  // namespace testsupport
