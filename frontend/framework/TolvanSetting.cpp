#include "TolvanSetting.h"

#include <array>
#include <utility>

#include <QSettings>

#include "SettingsStore.h"
#include "TolvanUtils.h"

namespace tolvan {

namespace {

auto FrameworkFields(const TTolvanSetting& setting) {
    using Field = TSettingField<TTolvanSetting>;
    return std::array{
        Field::Text("OpenDirectory", &TTolvanSetting::OpenDirectory, setting.DefaultOpenDirectory()),
        Field::Integer("OpenFilterIndex", &TTolvanSetting::OpenFilterIndex, 1),
        Field::Integer("SaveFilterIndex", &TTolvanSetting::SaveFilterIndex, 1),
    };
}

}  // namespace

TTolvanSetting::TTolvanSetting(QString storeFile) : storeFile_(std::move(storeFile)) {}

void TTolvanSetting::Save() {
    TSettingsStore store(storeFile_);
    SaveFields(store, *this, FrameworkFields(*this));
    store.Commit();
}

void TTolvanSetting::Load() {
    const TSettingsStore store(storeFile_);
    LoadFields(store, *this, FrameworkFields(*this));
}

QString UserStoreFile(const QString& programPath) {
    QString name = ProgramBaseName(programPath);
    if (name.isEmpty()) name = QStringLiteral("Tolvan");  // a program file named ".x"
    // With the name as "organisation" and no application, QSettings names
    // the file <user configuration folder>/<name>.ini.
    return QSettings(QSettings::IniFormat, QSettings::UserScope, name, QString()).fileName();
}

}  // namespace tolvan
