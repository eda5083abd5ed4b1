#include "app/CLarkspurDoc.h"

#include <QFileInfo>

#include "resources/CommandIds.h"

CLarkspurDoc::CLarkspurDoc(const QString& documentName)
    : m_title(documentName.isEmpty() ? QStringLiteral("Untitled")
                                     : QFileInfo(documentName).fileName())
{
}

bool CLarkspurDoc::OnUpdateCommand(int command, framework::CommandState&)
{
    return command == resources::ID_FILE_SAVE;
}

void CLarkspurDoc::OnCommand(int)
{
    // The document has no content, so saving writes nothing.
}
