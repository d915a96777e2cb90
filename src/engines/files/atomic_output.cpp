#include "engines/files/atomic_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rm::files {

namespace {

constexpr char kSuffix[] = ".part";
constexpr std::size_t kSuffixLength = sizeof kSuffix - 1;
// Room for the leading dot, ".XXXXXX" and ".part" within a 255-byte file name.
constexpr std::size_t kMaxBaseInTemp = 200;

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A long name is cut on a character boundary: the temporary name is never shown, but it is
// still a valid UTF-8 name for tools that list the folder.
std::string CutName(const std::string& name)
{
    if (name.size() <= kMaxBaseInTemp)
        return name;
    std::size_t n = kMaxBaseInTemp;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xc0) == 0x80)
        --n;
    return name.substr(0, n);
}

bool WriteAll(int fd, const uint8_t* p, std::size_t n, int& err)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            return false;
        }
        p += w;
        n -= std::size_t(w);
    }
    return true;
}

// The process's file mode mask, read without changing it (umask() would, for every thread).
mode_t CurrentUmask()
{
    static const mode_t mask = [] {
        mode_t m = 022;
        if (FILE* f = std::fopen("/proc/self/status", "re")) {
            char line[256];
            while (std::fgets(line, sizeof line, f)) {
                unsigned v = 0;
                if (std::sscanf(line, "Umask: %o", &v) == 1) {
                    m = mode_t(v);
                    break;
                }
            }
            std::fclose(f);
        }
        return m;
    }();
    return mask;
}

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

AtomicOutput::~AtomicOutput() { Discard(); }

bool AtomicOutput::Fail(int err)
{
    if (m_error == 0)
        m_error = err ? err : EIO;
    return false;
}

bool AtomicOutput::Create(const std::string& finalPath)
{
    Discard();
    m_final = finalPath;
    m_temp.clear();
    m_written = 0;
    m_error = 0;
    m_committed = false;
    const std::string name = NameOf(finalPath);
    if (name.empty())
        return Fail(EINVAL);
    std::string pattern = FolderOf(finalPath) + "/." + CutName(name) + ".XXXXXX" + kSuffix;
    m_fd = ::mkstemps(pattern.data(), int(kSuffixLength));
    if (m_fd < 0)
        return Fail(errno);
    ::fcntl(m_fd, F_SETFD, FD_CLOEXEC);
    // mkstemps makes the file 0600; an output is as readable as any file the user makes.
    ::fchmod(m_fd, 0666 & ~CurrentUmask());
    m_temp = pattern;
    return true;
}

bool AtomicOutput::Write(const void* data, std::size_t size)
{
    if (m_fd < 0 || m_error)
        return Fail(m_error ? m_error : EBADF);
    int err = 0;
    if (!WriteAll(m_fd, static_cast<const uint8_t*>(data), size, err))
        return Fail(err);
    m_written += size;
    return true;
}

bool AtomicOutput::WriteAt(uint64_t offset, const void* data, std::size_t size)
{
    if (m_fd < 0 || m_error)
        return Fail(m_error ? m_error : EBADF);
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t w = ::pwrite(m_fd, p, size, off_t(offset));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return Fail(errno);
        }
        p += w;
        size -= std::size_t(w);
        offset += uint64_t(w);
    }
    return true;
}

bool AtomicOutput::Commit(int64_t expectedSize)
{
    if (m_fd < 0 || m_error) {
        Fail(m_error ? m_error : EBADF);
        Discard();
        return false;
    }
    const int64_t expected = expectedSize >= 0 ? expectedSize : int64_t(m_written);
    struct stat before {};
    bool ok = ::fsync(m_fd) == 0 || Fail(errno);
    ok = ok && (::fstat(m_fd, &before) == 0 || Fail(errno));
    // A file that is shorter or longer than what was written is not this output.
    ok = ok && (before.st_size == expected || Fail(EIO));
    ok = ok && (::rename(m_temp.c_str(), m_final.c_str()) == 0 || Fail(errno));
    if (ok) {
        SyncFolder(FolderOf(m_final));
        // The final name must now hold this very file (the folder may have gone meanwhile).
        struct stat after {};
        ok = (::stat(m_final.c_str(), &after) == 0 || Fail(errno)) &&
             ((after.st_ino == before.st_ino && after.st_dev == before.st_dev && after.st_size == expected) ||
              Fail(EIO));
        if (!ok)
            ::unlink(m_final.c_str());  // ours, and not what it should be
    }
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (ok && closed != 0)
        ok = Fail(errno);
    if (!ok) {
        ::unlink(m_temp.c_str());
        return false;
    }
    m_committed = true;
    return true;
}

void AtomicOutput::Discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_committed && !m_temp.empty())
        ::unlink(m_temp.c_str());
    m_temp.clear();
}

bool IsTemporaryOutputName(const std::string& fileName)
{
    // ".<name>.XXXXXX.part"
    const std::size_t n = fileName.size();
    if (n < 1 + 1 + 7 + kSuffixLength || fileName[0] != '.')
        return false;
    if (fileName.compare(n - kSuffixLength, kSuffixLength, kSuffix) != 0)
        return false;
    return fileName[n - kSuffixLength - 7] == '.';
}

} // namespace rm::files
