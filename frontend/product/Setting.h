// The product's settings: the options of the Options page, on top of the
// framework's own values.
#pragma once

#include <cstdint>

#include <QString>

#include "TolvanSetting.h"

namespace tolvan {

class TSetting final : public TTolvanSetting {
public:
    // The limits of the spin fields txtMaxMsgCount and txtBufSize; loaded
    // values are kept inside them.
    static constexpr int32_t kMaxMsgCountMinimum = 1;
    static constexpr int32_t kMaxMsgCountMaximum = 32767;
    static constexpr int32_t kBufSizeMinimum = 1;
    static constexpr int32_t kBufSizeMaximum = 65536;

    // Starts with the defaults of every value.
    explicit TSetting(QString storeFile);

    // FindIdentityFolder.
    QString DefaultOpenDirectory() const override;
    // The framework's values, then the product's five.
    void Save() override;
    void Load() override;

    bool OpenFixed = true;
    bool UseNewDir = false;
    int32_t MaxMsgCount = 10000;
    QString TempDir;
    int32_t BufSize = 512;
    // Link blocks store by store (bit 1 of the engine options) rather than
    // by block offset across the whole source.
    bool StoreAware = true;
    // Name files after the decoded subject (bit 5), give each file the
    // date of its message (bit 6), write identical copies once (bit 3).
    bool ReadableNames = true;
    bool FileDates = true;
    bool SkipIdentical = true;
};

// The system's folder for temporary files with a trailing '/'.
QString DefaultTempDir();

}  // namespace tolvan
