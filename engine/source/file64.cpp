#include "source/file64.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/messages.h"
#include "base/paths.h"
#include "source/aligned_span.h"
#include "source/devsize.h"

namespace varrow {

namespace {

using platform::Access;
using platform::Disposition;
using platform::OpenRequest;
using platform::SeekFrom;
using platform::Share;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

OpenRequest RequestFromFlags(uint32_t flags) {
    OpenRequest request;
    switch (flags & 0x3) {
        case CFile64::modeRead: request.access = Access::Read; break;
        case CFile64::modeWrite: request.access = Access::Write; break;
        case CFile64::modeReadWrite: request.access = Access::ReadWrite; break;
        default: request.access = Access::None; break;
    }
    switch (flags & 0x70) {
        case CFile64::shareDenyWrite: request.share = Share::DenyWrite; break;
        case CFile64::shareDenyRead: request.share = Share::DenyRead; break;
        case CFile64::shareDenyNone: request.share = Share::DenyNone; break;
        default: request.share = Share::Exclusive; break;  // compat, exclusive, 0x50..0x70
    }
    request.inherit = (flags & CFile64::modeNoInherit) == 0;
    if (flags & CFile64::modeCreate) {
        request.disposition = (flags & CFile64::modeNoTruncate) ? Disposition::OpenAlways
                                                                : Disposition::CreateAlways;
    } else {
        request.disposition = Disposition::OpenExisting;
    }
    return request;
}

SeekFrom SeekFromOrigin(uint32_t from) {
    switch (from) {
        case CFile64::current: return SeekFrom::Current;
        case CFile64::end: return SeekFrom::End;
        default: return SeekFrom::Begin;
    }
}

}  // namespace

// --- CFile64 -----------------------------------------------------------

CFile64::CFile64() = default;

CFile64::~CFile64() {
    // A destructor cannot raise: a failing close here is not reported.
    if (m_bCloseOnDelete && m_hFile != platform::kInvalidHandle) {
        long error = 0;
        os().Close(m_hFile, &error);
    }
}

const char* CFile64::GetRuntimeClass() const { return "CFile64"; }

void CFile64::Serialize() {}

uint64_t CFile64::GetPosition() const {
    uint64_t position = 0;
    long error = 0;
    if (!os().Seek(m_hFile, 0, SeekFrom::Current, &position, &error)) ThrowOsError(error);
    return position;
}

std::string CFile64::GetFileName() const {
    return GetPathFileName(m_strFileName).substr(0, 255);
}

std::string CFile64::GetFileTitle() const { return GetFileName(); }

std::string CFile64::GetFilePath() const { return m_strFileName; }

void CFile64::SetFilePath(const std::string& path) { m_strFileName = path; }

bool CFile64::Open(const std::string& path, uint32_t flags, CFileException* error) {
    m_bCloseOnDelete = 0;
    m_hFile = platform::kInvalidHandle;
    m_strFileName.clear();

    const std::string absolute = StartsWith(path, EngineText(kTextDevicePrefix))
                                     ? std::string()
                                     : os().FullPath(path);
    m_strFileName = absolute.empty() ? path : absolute;

    long osError = 0;
    const platform::Handle handle = os().Open(m_strFileName, RequestFromFlags(flags), &osError);
    if (handle == platform::kInvalidHandle) {
        if (error) {
            error->m_lOsError = osError;
            error->m_cause = FileErrorCauseOf(osError);
            error->m_strFileName = path;
        }
        return false;
    }
    m_hFile = handle;
    m_bCloseOnDelete = 1;
    return true;
}

std::unique_ptr<CFile64> CFile64::Duplicate() const {
    long error = 0;
    const platform::Handle copy = os().Duplicate(m_hFile, &error);
    if (copy == platform::kInvalidHandle) ThrowOsError(error);
    auto file = std::make_unique<CFile64>();
    file->m_hFile = copy;
    file->m_bCloseOnDelete = m_bCloseOnDelete;
    return file;
}

uint64_t CFile64::Seek(int64_t offset, uint32_t from) {
    uint64_t position = 0;
    long error = 0;
    if (!os().Seek(m_hFile, offset, SeekFromOrigin(from), &position, &error)) ThrowOsError(error);
    return position;
}

void CFile64::SetLength(uint64_t length) {
    CFile64::Seek(static_cast<int64_t>(length), begin);
    long error = 0;
    if (!os().SetEnd(m_hFile, &error)) ThrowOsError(error);
}

uint64_t CFile64::GetLength() const {
    uint64_t size = 0;
    long error = 0;
    if (!os().GetSize(m_hFile, &size, &error)) ThrowOsError(error);
    return size;
}

uint32_t CFile64::Read(void* buffer, uint32_t count) {
    if (count == 0) return 0;
    uint32_t got = 0;
    long error = 0;
    if (!os().Read(m_hFile, buffer, count, &got, &error)) ThrowOsError(error);
    return got;
}

void CFile64::Write(const void* buffer, uint32_t count) {
    if (count == 0) return;
    uint32_t written = 0;
    long error = 0;
    if (!os().Write(m_hFile, buffer, count, &written, &error)) ThrowOsError(error, m_strFileName);
    if (written < count) throw CFileException(CFileException::diskFull, -1, m_strFileName);
}

void CFile64::LockRange(uint64_t position, uint64_t count) {
    long error = 0;
    if (!os().LockRange(m_hFile, position, count, &error)) ThrowOsError(error);
}

void CFile64::UnlockRange(uint64_t position, uint64_t count) {
    long error = 0;
    if (!os().UnlockRange(m_hFile, position, count, &error)) ThrowOsError(error);
}

void CFile64::Abort() {
    if (m_hFile != platform::kInvalidHandle) {
        long error = 0;
        os().Close(m_hFile, &error);
    }
    m_hFile = platform::kInvalidHandle;
    m_bCloseOnDelete = 0;
    m_strFileName.clear();
}

void CFile64::Flush() {
    if (m_hFile == platform::kInvalidHandle) return;
    long error = 0;
    if (!os().Flush(m_hFile, &error)) ThrowOsError(error);
}

void CFile64::Close() {
    long error = 0;
    bool failed = false;
    if (m_hFile != platform::kInvalidHandle) failed = !os().Close(m_hFile, &error);
    m_hFile = platform::kInvalidHandle;
    m_bCloseOnDelete = 0;
    m_strFileName.clear();
    if (failed) ThrowOsError(error);
}

uint64_t CFile64::GetBufferPtr() const { return 0; }

// --- CFile64Ex ---------------------------------------------------------

CFile64Ex::CFile64Ex(uint32_t windowSize) : m_nWindowSize(windowSize == 0 ? 4096 : windowSize) {
    ReplaceSectorBuffer(512);
    try {
        m_pWindowBlock = std::make_unique<uint8_t[]>(size_t{2} * m_nWindowSize);
        m_pWindowA = std::make_unique<ReadWindow>();
        m_pWindowB = std::make_unique<ReadWindow>();
    } catch (...) {
        ReleaseSectorBuffer();
        throw;
    }
    m_pWindowA->data = m_pWindowBlock.get();
    m_pWindowA->size = m_nWindowSize;
    m_pWindowB->data = m_pWindowBlock.get() + m_nWindowSize;
    m_pWindowB->size = m_nWindowSize;
}

CFile64Ex::~CFile64Ex() { ReleaseSectorBuffer(); }

void CFile64Ex::ReplaceSectorBuffer(uint32_t size) {
    ReleaseSectorBuffer();
    m_pSectorBuffer = static_cast<uint8_t*>(os().AllocatePages(size));
    if (!m_pSectorBuffer) throw CMemoryException();
    m_nSectorBufferSize = size;
}

void CFile64Ex::ReleaseSectorBuffer() {
    if (m_pSectorBuffer) os().FreePages(m_pSectorBuffer, m_nSectorBufferSize);
    m_pSectorBuffer = nullptr;
    m_nSectorBufferSize = 0;
}

const char* CFile64Ex::GetRuntimeClass() const { return "CFile64Ex"; }

uint64_t CFile64Ex::GetPosition() const { return m_nPosition; }

bool CFile64Ex::Open(const std::string& path, uint32_t flags, CFileException* error) {
    m_nPosition = 0;
    m_bEOF = 0;
    m_failedSectors = FailedSectors();
    ForgetSource();
    if (!CFile64::Open(path, flags, error)) return false;
    ExamineSource();
    return true;
}

void CFile64Ex::ExamineSource() {
    // Sector sizes beyond this are not real devices; reading them as 512
    // keeps the arithmetic sane.
    constexpr uint32_t kLargestSector = 1u << 20;
    const std::string path = GetFilePath();
    const std::string root = SourceRootOf(path);
    const std::string devicePrefix = EngineText(kTextDevicePrefix);
    const bool deviceName = StartsWith(path, devicePrefix.c_str());
    const bool blockDevice = os().IsBlockDevice(m_hFile);

    uint32_t sectorSize = 0;
    if (StartsWith(root, EngineText(kTextPhysicalDrivePrefix))) {
        platform::DiskGeometry geometry;
        if (m_hFile != platform::kInvalidHandle && os().DiskGeometry(m_hFile, &geometry)) {
            sectorSize = geometry.bytesPerSector;
        }
    } else if (StartsWith(root, devicePrefix.c_str())) {
        if (!os().VolumeSectorSize(root.substr(devicePrefix.size()), &sectorSize)) sectorSize = 0;
    } else if (blockDevice) {
        if (!os().DiskSectorSize(m_hFile, &sectorSize)) sectorSize = 0;
    }

    if (StartsWith(path, EngineText(kTextPhysicalDrivePrefix)) || os().IsWholeDisk(path)) {
        m_facts.kind = SourceKind::WholeDisk;
    } else if (deviceName) {
        m_facts.kind = SourceKind::Volume;
    } else if (blockDevice) {
        m_facts.kind = SourceKind::BlockDevice;
    } else {
        m_facts.kind = SourceKind::File;
    }

    std::unique_ptr<platform::DiskImage> image;
    if (m_facts.kind == SourceKind::File && m_bImageFormats) image = os().OpenDiskImage(path);
    if (image) {
        m_facts.kind = SourceKind::Image;
        m_facts.imageFormat = image->FormatName();
        m_facts.imageFiles = image->FileCount();
        m_facts.mediaSize = image->MediaSize();
        sectorSize = image->SectorSize();
        m_medium = MakeImageMedium(std::move(image));
    } else {
        m_medium = MakeHandleMedium(m_hFile);
    }

    if (sectorSize == 0 || sectorSize > kLargestSector) sectorSize = 512;
    m_nSectorSize = sectorSize;
    ReplaceSectorBuffer(sectorSize);
}

void CFile64Ex::ForgetSource() {
    m_medium.reset();
    m_facts = SourceFacts();
}

std::unique_ptr<CFile64> CFile64Ex::Duplicate() const { throw CNotSupportedException(); }

uint64_t CFile64Ex::Seek(int64_t offset, uint32_t from) {
    uint64_t position = m_nPosition;
    switch (from) {
        case begin: position = static_cast<uint64_t>(offset); break;
        case current: position = m_nPosition + static_cast<uint64_t>(offset); break;
        case end: {
            const uint64_t endPosition =
                m_facts.kind == SourceKind::Image ? m_facts.mediaSize : CFile64::Seek(0, end);
            position = endPosition + static_cast<uint64_t>(offset);
            break;
        }
        default: break;
    }
    if (position != m_nPosition) {
        m_nPosition = position;
        m_bEOF = 0;
    }
    return m_nPosition;
}

void CFile64Ex::SetLength(uint64_t length) {
    CFile64::SetLength(length);
    m_nPosition = 0;
    m_bEOF = 0;
}

uint64_t CFile64Ex::GetLength() const {
    uint64_t length = 0;
    switch (m_facts.kind) {
        case SourceKind::WholeDisk:
        // A partition is measured like a disk: by its extent, not its file system.
        case SourceKind::BlockDevice: return QueryDeviceLength(m_hFile, &length) ? length : 0;
        case SourceKind::Volume: {
            const std::string devicePrefix = EngineText(kTextDevicePrefix);
            const std::string volume = GetFilePath().substr(devicePrefix.size());
            return QueryVolumeSize(volume.c_str(), &length) ? length : 0;
        }
        case SourceKind::Image: return m_facts.mediaSize;
        default: return CFile64::GetLength();
    }
}

uint32_t CFile64Ex::Read(void* buffer, uint32_t count) {
    if (count == 0) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t remaining = count;
    while (remaining != 0) {
        const ReadWindow* window = m_pWindowA->Covers(m_nPosition)   ? m_pWindowA.get()
                                   : m_pWindowB->Covers(m_nPosition) ? m_pWindowB.get()
                                                                     : nullptr;
        if (window) {
            const uint64_t skip = m_nPosition - window->position;
            const uint32_t n = static_cast<uint32_t>(
                std::min<uint64_t>(remaining, window->length - skip));
            std::memcpy(out, window->data + skip, n);
            out += n;
            m_nPosition += n;
            remaining -= n;
        } else if (remaining <= m_nWindowSize) {
            if (FillWindow() == 0) break;
        } else {
            const uint32_t direct = remaining - remaining % m_nWindowSize;
            const uint32_t n = ReadAligned(m_nPosition, out, direct).delivered;
            out += n;
            m_nPosition += n;
            remaining -= n;
            if (n < direct) break;
        }
    }
    m_bEOF = remaining != 0;
    return count - remaining;
}

uint32_t CFile64Ex::FillWindow() {
    ReadWindow& a = *m_pWindowA;
    ReadWindow& b = *m_pWindowB;
    ReadWindow* chosen;
    if (a.data == nullptr) {
        chosen = &a;
    } else if (!(a.Usable() && b.Usable())) {
        chosen = a.Usable() ? &b : &a;
    } else if (b.position >= m_nPosition) {
        chosen = &b;
    } else if (a.position >= m_nPosition) {
        chosen = &a;
    } else {
        chosen = a.position < b.position ? &a : &b;
    }
    chosen->position = m_nPosition;
    chosen->length = ReadAligned(m_nPosition, chosen->data, chosen->size).delivered;
    return chosen->length;
}

AlignedRead CFile64Ex::ReadAligned(uint64_t position, uint8_t* buffer, uint32_t count,
                                   Transfer transfer) {
    AlignedRead outcome;
    if (count == 0 || !m_medium) return outcome;
    if (transfer == Transfer::OneCall) {
        outcome.delivered = m_medium->ReadRun(position, buffer, count);
        return outcome;
    }

    const uint32_t sector = m_nSectorSize;
    const SectorSpan span = SpanOf(position, count, sector);
    uint32_t& total = outcome.delivered;
    bool succeeded = false;
    bool onward = true;
    // Each sector read counts in the outcome when it failed.
    const auto readSector = [&](uint64_t at) {
        const uint32_t got = ReadOneSector(at, &succeeded, &onward);
        if (!succeeded) ++outcome.failedSectors;
        return got;
    };

    uint64_t sectorPosition = span.firstSector;
    if (span.head != 0) {
        if (!m_medium->MoveTo(sectorPosition)) return outcome;
        const uint32_t got = readSector(sectorPosition);
        sectorPosition += sector;
        if (got <= span.headOffset) return outcome;  // the source ends before position
        total = std::min(got - span.headOffset, span.head);
        std::memcpy(buffer, m_pSectorBuffer + span.headOffset, total);
        if (!onward) return outcome;
    } else if (!m_medium->MoveTo(position)) {
        return outcome;
    }

    for (uint32_t i = 0; i < span.wholeSectors; ++i) {
        const uint32_t got = readSector(sectorPosition);
        sectorPosition += sector;
        if (succeeded && got == 0) return outcome;
        std::memcpy(buffer + total, m_pSectorBuffer, got);
        total += got;
        if (!onward) return outcome;
    }

    if (span.tail != 0) {
        const uint32_t got = readSector(sectorPosition);
        if (succeeded && got == 0) return outcome;
        const uint32_t n = std::min(got, span.tail);
        std::memcpy(buffer + total, m_pSectorBuffer, n);
        total += n;
    }
    return outcome;
}

uint32_t CFile64Ex::ReadOneSector(uint64_t sectorPosition, bool* succeeded, bool* onward) {
    uint32_t got = 0;
    *onward = true;
    *succeeded = m_medium->ReadAtPoint(m_pSectorBuffer, m_nSectorSize, &got);
    if (*succeeded) return std::min(got, m_nSectorSize);
    // An unreadable sector is delivered as zeros, and the next read takes
    // the next sector. When the device cannot be moved past it, the next
    // read would take this sector again and pass its zeros off as the
    // next one's bytes: the transfer ends after it instead.
    const uint32_t zeros = SectorBytesOnSource(sectorPosition);
    if (zeros == 0) {
        // Past the end of the source: that is where reading stops.
        *succeeded = true;
        return 0;
    }
    std::memset(m_pSectorBuffer, 0, m_nSectorSize);
    m_failedSectors.Add(sectorPosition, zeros);
    *onward = m_medium->StepOver(m_nSectorSize);
    return zeros;
}

uint32_t CFile64Ex::SectorBytesOnSource(uint64_t sectorPosition) const {
    // A volume's length is its file system's, which may end before the
    // volume does; every other source's length is where its bytes end, and
    // a last sector cut short by it arrives as no more zeros than it holds.
    if (m_facts.kind == SourceKind::Volume) return m_nSectorSize;
    uint64_t length = 0;
    try {
        length = GetLength();
    } catch (...) {
        return m_nSectorSize;
    }
    if (length == 0) return m_nSectorSize;  // not known
    if (length <= sectorPosition) return 0;
    return static_cast<uint32_t>(std::min<uint64_t>(m_nSectorSize, length - sectorPosition));
}

bool CFile64Ex::CanPosition(uint64_t position) { return m_medium && m_medium->MoveTo(position); }

void CFile64Ex::AdviseSequential() {
    if (m_medium) m_medium->AdviseSequential();
}

void CFile64Ex::ForgetCached(uint64_t position, uint64_t length) {
    if (m_medium) m_medium->ForgetCached(position, length);
}

bool CFile64Ex::MoveFilePointer(uint64_t position) {
    if (position > static_cast<uint64_t>(INT64_MAX)) return false;
    uint64_t landed = 0;
    long error = 0;
    return os().Seek(m_hFile, static_cast<int64_t>(position), SeekFrom::Begin, &landed, &error) &&
           landed == position;
}

void CFile64Ex::Write(const void* buffer, uint32_t count) {
    if (!MoveFilePointer(m_nPosition)) return;
    try {
        CFile64::Write(buffer, count);
    } catch (...) {
        TakePositionFromHandle();
        throw;
    }
    TakePositionFromHandle();
}

void CFile64Ex::TakePositionFromHandle() {
    uint64_t position = 0;
    long error = 0;
    if (os().Seek(m_hFile, 0, SeekFrom::Current, &position, &error) && position != m_nPosition) {
        m_nPosition = position;
        m_bEOF = 0;
    }
}

void CFile64Ex::LockRange(uint64_t, uint64_t) { throw CNotSupportedException(); }

void CFile64Ex::UnlockRange(uint64_t, uint64_t) { throw CNotSupportedException(); }

void CFile64Ex::Abort() {
    ForgetSource();
    CFile64::Abort();
    m_bEOF = 0;
}

void CFile64Ex::Flush() {
    MoveFilePointer(m_nPosition);
    CFile64::Flush();
}

void CFile64Ex::Close() {
    m_bEOF = 0;
    ForgetSource();
    CFile64::Close();
}

int32_t CFile64Ex::IsEOF() const { return m_bEOF; }

int32_t CFile64Ex::IsPhysicalDrive() const { return m_facts.kind == SourceKind::WholeDisk; }

// --- Roots ---------------------------------------------------------------

std::string SourceRootOf(const std::string& path) {
    if (path.compare(0, 2, "\\\\") == 0) {
        const size_t firstName = path.find('\\', 2);
        if (firstName == std::string::npos) return path;
        const size_t secondName = path.find('\\', firstName + 1);
        return secondName == std::string::npos ? path : path.substr(0, secondName + 1);
    }
    const size_t at = path.find('\\');
    return at == std::string::npos ? path : path.substr(0, at + 1);
}

}  // namespace varrow
