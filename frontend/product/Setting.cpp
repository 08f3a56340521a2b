#include "Setting.h"

#include <array>
#include <utility>

#include <QDir>

#include "SettingsStore.h"
#include "DriveList.h"

namespace tolvan {

namespace {

auto ProductFields() {
    using Field = TSettingField<TSetting>;
    return std::array{
        Field::Boolean("OpenFixed", &TSetting::OpenFixed, true),
        Field::Boolean("UseNewDir", &TSetting::UseNewDir, false),
        Field::Integer("MaxMsgCount", &TSetting::MaxMsgCount, 10000, TSetting::kMaxMsgCountMinimum,
                       TSetting::kMaxMsgCountMaximum),
        Field::Text("TempDir", &TSetting::TempDir, DefaultTempDir()),
        Field::Integer("BufSize", &TSetting::BufSize, 512, TSetting::kBufSizeMinimum,
                       TSetting::kBufSizeMaximum),
        Field::Boolean("StoreAware", &TSetting::StoreAware, true),
        Field::Boolean("ReadableNames", &TSetting::ReadableNames, true),
        Field::Boolean("FileDates", &TSetting::FileDates, true),
        Field::Boolean("SkipIdentical", &TSetting::SkipIdentical, true),
    };
}

}  // namespace

QString DefaultTempDir() {
    QString folder = QDir::tempPath();
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

TSetting::TSetting(QString storeFile)
    : TTolvanSetting(std::move(storeFile)), TempDir(DefaultTempDir()) {}

QString TSetting::DefaultOpenDirectory() const { return FindIdentityFolder(); }

void TSetting::Save() {
    TTolvanSetting::Save();
    TSettingsStore store(StoreFile());
    SaveFields(store, *this, ProductFields());
    store.Commit();
}

void TSetting::Load() {
    TTolvanSetting::Load();
    const TSettingsStore store(StoreFile());
    LoadFields(store, *this, ProductFields());
}

}  // namespace tolvan
