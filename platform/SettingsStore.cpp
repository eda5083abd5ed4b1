#include "platform/SettingsStore.h"

#include <QSettings>
#include <QVariant>

#include <limits>
#include <memory>
#include <utility>

namespace platform {

namespace {

std::unique_ptr<QSettings> OpenStore(const QString& organisation, const QString& application)
{
    auto settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                organisation, application);
    settings->setFallbacksEnabled(false);
    return settings;
}

QVariant ReadValue(const QString& organisation, const QString& application, const QString& section,
                   const QString& key)
{
    const auto settings = OpenStore(organisation, application);
    settings->beginGroup(section);
    return settings->value(key);
}

bool IsIntegral(const QVariant& value)
{
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            return true;
        default:
            return false;
    }
}

bool WriteValue(const QString& organisation, const QString& application, const QString& section,
                const QString& key, const QVariant& value)
{
    const auto settings = OpenStore(organisation, application);
    settings->beginGroup(section);
    settings->setValue(key, value);
    settings->endGroup();
    settings->sync();
    return settings->status() != QSettings::AccessError;
}

}  // namespace

SettingsStore::SettingsStore(QString organisation, QString application)
    : m_organisation(std::move(organisation)), m_application(std::move(application))
{
}

QString SettingsStore::ReadString(const QString& section, const QString& key,
                                  const QString& fallback) const
{
    const QVariant value = ReadValue(m_organisation, m_application, section, key);
    // The INI file holds text; a line with unquoted commas comes back as a
    // list, which is not one string.
    if (value.typeId() == QMetaType::QString || IsIntegral(value)) {
        return value.toString();
    }
    return fallback;
}

int SettingsStore::ReadInt(const QString& section, const QString& key, int fallback) const
{
    const QVariant value = ReadValue(m_organisation, m_application, section, key);
    bool ok = false;
    qlonglong number = 0;
    if (value.typeId() == QMetaType::QString) {
        number = value.toString().trimmed().toLongLong(&ok, 10);
    } else if (IsIntegral(value)) {
        number = value.toLongLong(&ok);
    }
    if (!ok || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max()) {
        return fallback;
    }
    return static_cast<int>(number);
}

bool SettingsStore::WriteString(const QString& section, const QString& key, const QString& value)
{
    return WriteValue(m_organisation, m_application, section, key, value);
}

bool SettingsStore::WriteInt(const QString& section, const QString& key, int value)
{
    return WriteValue(m_organisation, m_application, section, key, value);
}

}  // namespace platform
