#pragma once

#include <QString>

namespace platform {

// The per-user settings store: an INI file under $XDG_CONFIG_HOME named by
// the organisation and the application. A value that is absent, or that
// cannot be read as the type asked for, reads as the caller's default.
// Writes go to disk at once. UI thread only.
class SettingsStore {
public:
    SettingsStore(QString organisation, QString application);

    QString ReadString(const QString& section, const QString& key, const QString& fallback) const;
    int ReadInt(const QString& section, const QString& key, int fallback) const;
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInt(const QString& section, const QString& key, int value);

private:
    QString m_organisation;
    QString m_application;
};

}  // namespace platform
