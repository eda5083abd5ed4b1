#include "app/CLarkspurApp.h"

#include <QIcon>
#include <QPixmap>

#include "app/AboutDialog.h"
#include "app/CLarkspurDoc.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "platform/ImageList.h"
#include "treemap/TreemapView.h"
#include "platform/MessageQueue.h"
#include "platform/ModalScope.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "resources/ToolbarResource.h"

namespace {

const QString kCompany = QStringLiteral("Oakhollow Software");
const QString kSection = QStringLiteral("Options");
const QString kSizeFormatKey = QStringLiteral("Size Format");
const QString kProtectKey = QStringLiteral("Protect Sys Files");
const QString kShowTreemapKey = QStringLiteral("Show Treemap");
const QString kMarkDuplicatesKey = QStringLiteral("Mark Duplicates in Treemap");
// The installed desktop entry's file name without ".desktop", and the
// program icon's name in the icon theme.
const QString kDesktopFileName = QStringLiteral("larkspur");
const QString kIconName = QStringLiteral("larkspur");

CLarkspurApp* g_app = nullptr;

// The document named on the command line: the first argument that is not
// an option. Qt has already taken its own options out.
QString DocumentNameFrom(const QStringList& arguments)
{
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        if (!arguments[index].startsWith(QLatin1Char('-'))) return arguments[index];
    }
    return {};
}

}  // namespace

CLarkspurApp::CLarkspurApp(int& argc, char** argv)
    : QApplication(argc, argv),
      m_settings(kCompany, resources::StringTable::Load(resources::IDS_APPLICATION_TITLE))
{
    g_app = this;
    framework::SizeTextSource::SetInstance(this);
}

CLarkspurApp::~CLarkspurApp()
{
    m_mainFrame.reset();
    m_document.reset();
    platform::ImageList::SetSystem(nullptr);
    framework::SizeTextSource::SetInstance(nullptr);
    g_app = nullptr;
}

CLarkspurApp* CLarkspurApp::Instance() { return g_app; }

bool CLarkspurApp::InitInstance()
{
    // Qt gives every window the desktop's look; there is no 3-D switch.
    setOrganizationName(kCompany);
    setApplicationName(resources::StringTable::Load(resources::IDS_APPLICATION_TITLE));
    // The desktop matches windows to larkspur.desktop by this name (the
    // Wayland app id) and shows the entry's name and icon in its task switcher.
    setDesktopFileName(kDesktopFileName);
    setWindowIcon(QIcon::fromTheme(
        kIconName, QIcon(QPixmap(resources::ToolbarResource::Image(resources::IDR_MAINFRAME)))));
    platform::MessageQueue::Instance().AttachToCurrentThread();
    m_images = std::make_unique<SystemImageList>();
    platform::ImageList::SetSystem(m_images.get());

    if (!OpenDocumentFile(DocumentNameFrom(arguments()))) return false;
    LoadSizeFormat();
    m_mainFrame->showNormal();
    return true;
}

bool CLarkspurApp::OpenDocumentFile(const QString& documentName)
{
    m_document = std::make_unique<CLarkspurDoc>(documentName);
    m_mainFrame = std::make_unique<CMainFrame>();
    if (m_mainFrame->Create(m_document.get()) != 0) {
        m_mainFrame.reset();
        return false;
    }
    m_mainFrame->InitialUpdateFrame();
    return true;
}

void CLarkspurApp::LoadSizeFormat()
{
    const QString text = m_settings.ReadString(kSection, kSizeFormatKey, QString());
    m_sizeFormat = SizeFormatFromSettingText(text).value_or(SizeFormat::Bytes);
    if (m_mainFrame != nullptr) m_mainFrame->UpdateSizeFormatChecks();
}

void CLarkspurApp::SaveSizeFormat()
{
    m_settings.WriteString(kSection, kSizeFormatKey, SizeFormatSettingText(m_sizeFormat));
}

void CLarkspurApp::LoadProtectSetting()
{
    const int value = m_settings.ReadInt(kSection, kProtectKey, 1);
    if (TheMainView != nullptr) TheMainView->SetProtectSystemFiles(value != 0);
}

void CLarkspurApp::SaveProtectSetting()
{
    if (TheMainView != nullptr)
        m_settings.WriteInt(kSection, kProtectKey, TheMainView->ProtectSystemFiles() ? 1 : 0);
}

void CLarkspurApp::LoadTreemapSettings()
{
    if (TheMainView == nullptr || TheMainView->Treemap() == nullptr) return;
    // Read both before either is applied: applying one writes both.
    const bool shown = m_settings.ReadInt(kSection, kShowTreemapKey, 0) != 0;
    const bool mark = m_settings.ReadInt(kSection, kMarkDuplicatesKey, 0) != 0;
    TheMainView->ShowTreemap(shown);
    TheMainView->Treemap()->SetMarkDuplicates(mark);
}

void CLarkspurApp::SaveTreemapSettings()
{
    if (TheMainView == nullptr || TheMainView->Treemap() == nullptr) return;
    m_settings.WriteInt(kSection, kShowTreemapKey, TheMainView->TreemapShown() ? 1 : 0);
    m_settings.WriteInt(kSection, kMarkDuplicatesKey,
                        TheMainView->Treemap()->MarkDuplicates() ? 1 : 0);
}

void CLarkspurApp::SetSizeFormat(SizeFormat format)
{
    m_sizeFormat = format;
    if (TheMainView != nullptr) TheMainView->RedrawSizes();
    SaveSizeFormat();
    if (m_mainFrame != nullptr) m_mainFrame->UpdateSizeFormatChecks();
}

SizeFormat CLarkspurApp::EffectiveSizeFormat(FileSize value) const
{
    return ::EffectiveSizeFormat(m_sizeFormat, value);
}

QString CLarkspurApp::SizeText(FileSize value) const { return ::SizeText(m_sizeFormat, value); }

int CLarkspurApp::SizeTextWidth(FileSize value) const
{
    return ::SizeTextWidth(m_sizeFormat, value);
}

QString CLarkspurApp::PaddedSizeText(FileSize value, FileSize reference) const
{
    return ::PaddedSizeText(m_sizeFormat, value, reference);
}

bool CLarkspurApp::OnUpdateCommand(int command, framework::CommandState&)
{
    return command == resources::ID_APP_ABOUT;
}

void CLarkspurApp::OnCommand(int command)
{
    if (command == resources::ID_APP_ABOUT) OnAppAbout();
}

void CLarkspurApp::OnAppAbout()
{
    AboutDialog dialog(m_mainFrame.get());
    const platform::ModalScope modal;
    dialog.exec();
}
