#pragma once

#include <QString>

namespace platform {

// The per-user settings store: the INI file
// "$XDG_CONFIG_HOME/<organisation>/<application>.ini", one [section] per
// section. Only that file is read: no system-wide defaults from
// $XDG_CONFIG_DIRS take part.
//
// A value that is absent, or that cannot be read as the type asked for (an
// integer asked of a text that is not a whole decimal number in int's range,
// a string asked of a list), reads as the caller's fallback. Every write goes
// to disk before it returns, and returns false when the file cannot be
// written. UI thread only.
class SettingsStore {
public:
    SettingsStore(QString organisation, QString application);

    [[nodiscard]] QString ReadString(const QString& section, const QString& key,
                                     const QString& fallback) const;
    [[nodiscard]] int ReadInt(const QString& section, const QString& key, int fallback) const;
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInt(const QString& section, const QString& key, int value);

private:
    QString m_organisation;
    QString m_application;
};

}  // namespace platform
