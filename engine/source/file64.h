// Files and devices read by 64-bit position.
//
// CFile64 is a plain file over a system handle. CFile64Ex reads a file, a
// volume, a whole disk or (when asked to) the media of a disk image through
// two read windows, moving every byte from its source as whole sectors at
// sector-aligned offsets into one page-aligned sector buffer; a sector that
// cannot be read arrives as zeros.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/file_exception.h"
#include "platform/os.h"
#include "source/failed_sectors.h"
#include "source/source_medium.h"

namespace varrow {

class CFile64 {
public:
    enum OpenFlags : uint32_t {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile64();
    virtual ~CFile64();
    CFile64(const CFile64&) = delete;
    CFile64& operator=(const CFile64&) = delete;

    virtual const char* GetRuntimeClass() const;
    virtual void Serialize();
    virtual uint64_t GetPosition() const;
    virtual std::string GetFileName() const;
    virtual std::string GetFileTitle() const;
    virtual std::string GetFilePath() const;
    virtual void SetFilePath(const std::string& path);
    // Opens path; on failure fills *error (when given) and returns false.
    // Never raises for a failed open.
    virtual bool Open(const std::string& path, uint32_t flags, CFileException* error);
    virtual std::unique_ptr<CFile64> Duplicate() const;
    virtual uint64_t Seek(int64_t offset, uint32_t from);
    virtual void SetLength(uint64_t length);
    virtual uint64_t GetLength() const;
    virtual uint32_t Read(void* buffer, uint32_t count);
    virtual void Write(const void* buffer, uint32_t count);
    virtual void LockRange(uint64_t position, uint64_t count);
    virtual void UnlockRange(uint64_t position, uint64_t count);
    virtual void Abort();
    virtual void Flush();
    virtual void Close();
    virtual uint64_t GetBufferPtr() const;

    platform::Handle m_hFile = platform::kInvalidHandle;
    int32_t m_bCloseOnDelete = 0;
    std::string m_strFileName;

protected:
    platform::Os& os() const { return platform::CurrentOs(); }
};

// One read-ahead window: a view of length bytes of the source that start at
// position. Usable when data is set and size and length are not 0.
struct ReadWindow {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    uint64_t position = 0;
    uint32_t length = 0;

    bool Usable() const { return data != nullptr && size != 0 && length != 0; }
    bool Covers(uint64_t offset) const {
        return Usable() && offset >= position && offset - position < length;
    }
};

// What the reader found out about its source when it opened it.
struct SourceFacts {
    SourceKind kind = SourceKind::None;
    std::string imageFormat;  // an image's format name, as DiskImage gives it
    uint32_t imageFiles = 0;  // how many files an image is stored in
    uint64_t mediaSize = 0;   // an image's media size
};

// How the whole sectors of an aligned read travel.
enum class Transfer {
    // One call per sector into the sector buffer, as the windows read; a
    // sector that cannot be read arrives as zeros and is recorded.
    EachSector,
    // One call for the whole read straight into the caller's page-aligned
    // buffer, for reads of whole sectors at sector-aligned positions. It
    // stops where the source stops delivering and records nothing: the
    // caller reads the rest sector by sector. Touches nothing of the reader
    // but its source, so the read-ahead thread may use it.
    OneCall,
};

// What an aligned read delivered.
struct AlignedRead {
    uint32_t delivered = 0;      // bytes from the position on
    uint32_t failedSectors = 0;  // of them, sectors that arrived as zeros
};

class CFile64Ex : public CFile64 {
public:
    // windowSize 0 means 4096.
    explicit CFile64Ex(uint32_t windowSize = 0);
    ~CFile64Ex() override;

    const char* GetRuntimeClass() const override;
    uint64_t GetPosition() const override;
    bool Open(const std::string& path, uint32_t flags, CFileException* error) override;
    std::unique_ptr<CFile64> Duplicate() const override;
    uint64_t Seek(int64_t offset, uint32_t from) override;
    void SetLength(uint64_t length) override;
    uint64_t GetLength() const override;
    // Windowed, sector-aligned read; raises nothing for device trouble.
    uint32_t Read(void* buffer, uint32_t count) override;
    void Write(const void* buffer, uint32_t count) override;
    void LockRange(uint64_t position, uint64_t count) override;
    void UnlockRange(uint64_t position, uint64_t count) override;
    void Abort() override;
    void Flush() override;
    void Close() override;
    virtual int32_t IsEOF() const;
    virtual int32_t IsPhysicalDrive() const;

    // Whether Open reads a file that an image library recognises as a disk
    // image (and not a single plain raw file) as the media of that image.
    // Off unless asked for: the file's own bytes are read then.
    void ReadImageFormats(bool on) { m_bImageFormats = on; }

    // The one path by which bytes come from the source, for the windows,
    // for reads past them and for the fast scan's runs: reads up to count
    // bytes at position into buffer, whole sectors at sector-aligned
    // positions, and leaves the position and the windows alone. Ends short
    // at the end of the source or where the device cannot be positioned.
    AlignedRead ReadAligned(uint64_t position, uint8_t* buffer, uint32_t count,
                            Transfer transfer = Transfer::EachSector);
    // Whether the device can be positioned at position, as the windows
    // position it at every refill.
    bool CanPosition(uint64_t position);
    // Hints for a long front-to-back read of the source.
    void AdviseSequential();
    void ForgetCached(uint64_t position, uint64_t length);

    uint32_t SectorSize() const { return m_nSectorSize; }
    uint32_t WindowSize() const { return m_nWindowSize; }
    const SourceFacts& Facts() const { return m_facts; }
    // The sectors whose reads failed so far (and were delivered as zeros),
    // image chunks the library could not read among them.
    const FailedSectors& Failures() const { return m_failedSectors; }

    int32_t m_bEOF = 0;
    std::unique_ptr<uint8_t[]> m_pWindowBlock;
    uint32_t m_nWindowSize;
    std::unique_ptr<ReadWindow> m_pWindowA;
    std::unique_ptr<ReadWindow> m_pWindowB;
    uint64_t m_nPosition = 0;
    uint32_t m_nSectorSize = 512;
    uint8_t* m_pSectorBuffer = nullptr;

private:
    uint32_t FillWindow();
    // One sector into the sector buffer; a failed read gives zeros, and
    // *onward tells whether the device could be moved past it.
    uint32_t ReadOneSector(uint64_t sectorPosition, bool* succeeded, bool* onward);
    // How many bytes of the sector at sectorPosition lie on the source, as
    // far as its length is known: the whole sector when it is not.
    uint32_t SectorBytesOnSource(uint64_t sectorPosition) const;
    // Finds out what the open handle is and sets up the medium and the
    // sector size; an image library is asked only with ReadImageFormats.
    void ExamineSource();
    void ForgetSource();
    bool MoveFilePointer(uint64_t position);
    void TakePositionFromHandle();
    void ReplaceSectorBuffer(uint32_t size);
    void ReleaseSectorBuffer();

    size_t m_nSectorBufferSize = 0;
    bool m_bImageFormats = false;
    SourceFacts m_facts;
    std::unique_ptr<SourceMedium> m_medium;
    FailedSectors m_failedSectors;
};

// The root of a path, by which the sector size of its volume is asked:
// "\\.\C:" and "\\.\PHYSICALDRIVE0" are their own roots, "\\server\share\f"
// gives "\\server\share\", any other path the text up to its first
// backslash.
std::string SourceRootOf(const std::string& path);

}  // namespace varrow
