#pragma once
// An output file that carries its final name only when it is complete.
//
// The bytes go to a temporary file in the final file's folder (a hidden name ending in ".part",
// unique per writer, so two runs never share one and a leftover of a killed run never looks
// like an output). Commit flushes the file to disk, checks that it holds what was written,
// renames it over the final name and checks that the final name now holds it. A writer that is
// destroyed without a successful Commit removes its temporary file. A process killed meanwhile
// leaves at most the hidden temporary file, never a truncated file under the final name.

#include <cstddef>
#include <cstdint>
#include <string>

namespace rm::files {

class AtomicOutput {
public:
    AtomicOutput() = default;
    explicit AtomicOutput(const std::string& finalPath) { Create(finalPath); }
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    // Creates the temporary file beside finalPath. False (and Error()) when the folder cannot
    // take it.
    bool Create(const std::string& finalPath);
    bool IsOpen() const { return m_fd >= 0; }

    // The temporary file, for writers that open it by name themselves (it exists, empty).
    const std::string& TemporaryPath() const { return m_temp; }
    const std::string& FinalPath() const { return m_final; }

    // Appends all of data; false on the first failed write (the rest is then refused).
    bool Write(const void* data, std::size_t size);
    // Writes size bytes at offset (a header patched after the body is known).
    bool WriteAt(uint64_t offset, const void* data, std::size_t size);
    uint64_t BytesWritten() const { return m_written; }

    // Makes the file final. expectedSize: the size the file must have (-1: what Write put in).
    // False, with Error(), when the data did not reach the disk, the size differs or the
    // final name could not be given; the temporary file is then removed.
    bool Commit(int64_t expectedSize = -1);
    // Removes the temporary file (nothing when already committed).
    void Discard();

    // errno of the first failure (0 none).
    int Error() const { return m_error; }

private:
    bool Fail(int err);

    std::string m_final;
    std::string m_temp;
    int m_fd = -1;
    uint64_t m_written = 0;
    int m_error = 0;
    bool m_committed = false;
};

// True for the names AtomicOutput gives its temporary files (file name only, no folder).
bool IsTemporaryOutputName(const std::string& fileName);

} // namespace rm::files
