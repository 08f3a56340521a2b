// The framework's settings: what its own dialogs remember between runs.
#pragma once

#include <cstdint>

#include <QString>

namespace tolvan {

class TTolvanSetting {
public:
    // storeFile: the INI file of the store (UserStoreFile for the program).
    explicit TTolvanSetting(QString storeFile);
    virtual ~TTolvanSetting() = default;

    // The default of OpenDirectory, asked at every Load.
    virtual QString DefaultOpenDirectory() const = 0;
    // Writes the three framework values; raises TSettingsError when the
    // store cannot be written.
    virtual void Save();
    // Reads the three framework values; missing ones take their defaults.
    virtual void Load();

    const QString& StoreFile() const { return storeFile_; }

    QString OpenDirectory;
    int32_t OpenFilterIndex = 1;
    int32_t SaveFilterIndex = 1;

private:
    QString storeFile_;
};

// The per-user store of the program at programPath: an INI file named
// after the program file without its extension, in the user's
// configuration folder (~/.config/Tolvan.ini for .../Tolvan).
QString UserStoreFile(const QString& programPath);

}  // namespace tolvan
