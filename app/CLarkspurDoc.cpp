#include "app/CLarkspurDoc.h"

#include <QFileInfo>

CLarkspurDoc::CLarkspurDoc(const QString& documentName)
    : m_title(documentName.isEmpty() ? QStringLiteral("Untitled")
                                     : QFileInfo(documentName).fileName())
{
}

bool CLarkspurDoc::OnUpdateCommand(int, framework::CommandState&)
{
    // The document has no content: there is nothing to save.
    return false;
}

void CLarkspurDoc::OnCommand(int) {}
