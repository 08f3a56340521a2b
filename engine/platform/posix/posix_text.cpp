// Character sets through the C library's iconv, and file times.
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <string>

#include "platform/posix/posix_os.h"

namespace varrow::platform {

namespace {

// One conversion descriptor per character set, opened at its first use:
// opening one costs far more than a subject takes to convert.
class Converters {
public:
    ~Converters() {
        for (auto& [name, converter] : open_) {
            if (converter != kNone) iconv_close(converter);
        }
    }
    // The descriptor from charset to UTF-8, or kNone when iconv has none.
    iconv_t For(const std::string& charset) {
        const auto known = open_.find(charset);
        if (known != open_.end()) return known->second;
        // A bounded cache: mail names few sets, a hostile source many.
        if (open_.size() >= 64) return iconv_open("UTF-8", charset.c_str());
        iconv_t converter = iconv_open("UTF-8", charset.c_str());
        open_[charset] = converter;
        return converter;
    }
    bool Cached(const std::string& charset) const { return open_.count(charset) != 0; }

    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

private:
    std::map<std::string, iconv_t> open_;
};

Converters& TheConverters() {
    static Converters converters;
    return converters;
}

}  // namespace

bool PosixOs::ConvertToUtf8(const std::string& charset, const std::string& bytes,
                            std::string* utf8) {
    Converters& converters = TheConverters();
    iconv_t converter = converters.For(charset);
    if (converter == Converters::kNone) return false;
    const bool cached = converters.Cached(charset);
    iconv(converter, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* to = out.data();
    size_t outLeft = out.size();
    bool converted = true;
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &to, &outLeft) != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) {
            const size_t used = out.size() - outLeft;
            out.resize(out.size() * 2);
            to = out.data() + used;
            outLeft = out.size() - used;
            continue;
        }
        converted = false;  // an invalid or cut sequence
        break;
    }
    // A stateful set (ISO-2022-JP) may owe a return to its initial state.
    if (converted && iconv(converter, nullptr, nullptr, &to, &outLeft) == static_cast<size_t>(-1))
        converted = false;
    if (!cached) iconv_close(converter);
    if (!converted) return false;
    out.resize(out.size() - outLeft);
    *utf8 = std::move(out);
    return true;
}

bool PosixOs::SetFileTimesIn(Handle folder, const std::string& name, int64_t secondsSince1970) {
    const timespec times[2] = {{static_cast<time_t>(secondsSince1970), 0},
                               {static_cast<time_t>(secondsSince1970), 0}};
    return ::utimensat(static_cast<int>(folder), name.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace varrow::platform
