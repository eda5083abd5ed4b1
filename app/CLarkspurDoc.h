#pragma once

#include <QString>

#include "framework/CommandTarget.h"

// The document of the one main window. It holds no data: it exists for its
// title ("Untitled", or the name given on the command line). It takes no
// command: with nothing in it, there is nothing to save.
class CLarkspurDoc : public framework::CommandTarget {
public:
    // documentName: a path given on the command line, or empty for a new
    // document. Nothing is read from it.
    explicit CLarkspurDoc(const QString& documentName = QString());

    [[nodiscard]] const QString& Title() const { return m_title; }

    bool OnUpdateCommand(int command, framework::CommandState& state) override;
    void OnCommand(int command) override;

private:
    QString m_title;
};
