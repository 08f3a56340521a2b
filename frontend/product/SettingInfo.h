// The setting-information block of the saved log, and the captions of the
// option controls it quotes.
#pragma once

#include <QString>
#include <QStringList>

namespace tolvan {

// Captions as stored, with their '&' accelerator marks; the Options page
// shows the same texts.
inline constexpr char kCaptionOpenFixed[] = "Op&en the directory containing all the recovered messages";
inline constexpr char kCaptionUseNewDir[] =
    "&Save recovered messages into new folder when messages in current folder reaches";
inline constexpr char kCaptionTempDir[] = "Dire&ctory for temporary files:";
inline constexpr char kCaptionBufSize[] = "I&nternal Processing Buffer Size:";
inline constexpr char kCaptionStoreAware[] = "Rebuild messages store by store (recommended for whole disks)";
inline constexpr char kCaptionReadableNames[] = "Name files after the readable subjec&t (decoded, in any language)";
inline constexpr char kCaptionFileDates[] = "Give each &file the date its message was sent";
inline constexpr char kCaptionSkipIdentical[] = "&Write identical copies of a message only once";

// The states of the option controls at the moment the block is written.
struct TSettingInfo {
    bool openFixed = false;
    bool useNewDir = false;
    double maxMsgCount = 0;
    QString tempDir;
    double bufSize = 0;
    bool storeAware = false;
    bool readableNames = false;
    bool fileDates = false;
    bool skipIdentical = false;
};

// Appends the thirteen lines of the block, from "Setting Information:" to the
// closing separator.
void AddSettingInfo(QStringList& lines, const TSettingInfo& values);

}  // namespace tolvan
