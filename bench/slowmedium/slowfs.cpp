// halvorix-slowfs: a FUSE file system holding one file, the image of a simulated medium, that
// accepts writes (and optionally reads) no faster than a given rate and can be paused like a card
// reader that stops answering.
//
//   halvorix-slowfs [--rate BYTES_PER_S] [--read-rate BYTES_PER_S] [--size BYTES] STORE MOUNTPOINT
//
// STORE is a real file (created when missing, sized to --size when given); the mount shows it as
// MOUNTPOINT/image. A loop device is attached to that image and a card file system made on it, so
// everything the card's file system writes reaches this daemon, at the medium's pace.
//
// MOUNTPOINT/control is the remote control. Writing to it:
//   pause            every read, write and fsync of the image waits until resumed
//   resume           lets them go on
//   rate N           write rate in bytes/s from now on (0: as fast as the store takes it)
//   read-rate N      the same for reads
// and lies the way bad media do (Lies.h; offsets are the image's, as the loop device asks):
//   capacity REAL KEEP     a fake capacity: from now on every write and read at offset >= REAL goes
//                          to KEEP + (offset - REAL) mod (REAL - KEEP), so later files overwrite
//                          earlier ones; KEEP keeps the file system's own structures intact.
//                          `capacity 0 0`: the whole image is real again
//   flip EVERY MINLEN FROM every EVERY-th write request of at least MINLEN bytes starting at or
//                          beyond FROM is stored with the lowest bit of its middle byte flipped
//                          (data writes are large, metadata writes small); `flip 0 0 0`: off
//   fail-read OFFSET COUNT reads covering OFFSET fail with EIO COUNT times, then succeed; COUNT -1:
//                          always (a bad block). Several points may be armed at once
//   fail-read-for OFFSET MS reads covering OFFSET fail with EIO for MS milliseconds from the
//                          first of them (a loose contact), then succeed
//   fail-read clear        disarms them all
// Reading it gives one "name value" line each:
//   written N        bytes that have reached the store (the bytes on the device)
//   read N           bytes read from the store
//   state running|paused
//   held N           requests waiting for a resume right now
//   rate N, read-rate N
//   capacity REAL KEEP, flip EVERY MINLEN FROM   as set
//   flipped N        write requests stored with a bit flipped
//   read-failures N  failed reads served
//   fail-read OFFSET LEFT   one line per armed point, with the failures it has left (-1: always)
//
// How writes reach this daemon: the loop driver writes to its backing file through the kernel's
// buffered path unless it was attached with --direct-io. On FUSE without writeback caching (never
// asked for here) a buffered write is written through: the writer waits until this daemon has
// answered. The image is moreover opened in direct-IO mode, so the kernel keeps no copy of it on
// this side at all: every read and write of the image is a request here and passes the throttle.
// The card's own page cache lies above the loop device, as on a real stick: writes land there at
// once and are written back to the "device" at its rate. A flush of the card (fsync, syncfs)
// reaches the loop device, which fsyncs the image: that request is held while paused.
//
// The store's own writes are started to the host disk at once (sync_file_range), so the host's
// page cache never holds a pile of dirty image data that a global `sync` would add to a
// measurement. The host disk is assumed far faster than the simulated medium.
//
// The daemon is multi-threaded: control requests are served while data requests are held.
// SIGTERM, SIGINT and SIGHUP end it; held requests are then failed with EIO, so it never waits
// for a resume to exit.

#define FUSE_USE_VERSION 312
#include <fuse3/fuse.h>
#include <fuse3/fuse_lowlevel.h>

#include "Lies.h"
#include "SlowMedium.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char *kImageName = "image";
constexpr const char *kControlName = "control";

Medium g_medium;
Lies g_lies;

enum class Node { None, Root, Image, Control };

Node nodeOf(const char *path)
{
    const std::string_view p(path);
    if (p == "/")
        return Node::Root;
    if (p.size() > 1 && p.substr(1) == kImageName)
        return Node::Image;
    if (p.size() > 1 && p.substr(1) == kControlName)
        return Node::Control;
    return Node::None;
}

int slowGetattr(const char *path, struct stat *st, fuse_file_info *)
{
    std::memset(st, 0, sizeof *st);
    switch (nodeOf(path)) {
    case Node::Root:
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        return 0;
    case Node::Image: {
        struct stat real { };
        if (fstat(g_medium.fd, &real) != 0)
            return -errno;
        st->st_mode = S_IFREG | 0644;
        st->st_nlink = 1;
        st->st_size = real.st_size;
        st->st_blocks = real.st_blocks;
        st->st_mtim = real.st_mtim;
        st->st_ctim = real.st_ctim;
        st->st_atim = real.st_atim;
        return 0;
    }
    case Node::Control:
        // Size 0: readers read until the end rather than trusting a size that changes.
        st->st_mode = S_IFREG | 0666;
        st->st_nlink = 1;
        return 0;
    case Node::None:
        break;
    }
    return -ENOENT;
}

int slowReaddir(
    const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *, fuse_readdir_flags)
{
    if (nodeOf(path) != Node::Root)
        return -ENOTDIR;
    for (const char *name : {".", "..", kImageName, kControlName})
        fill(buffer, name, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    return 0;
}

int slowOpen(const char *path, fuse_file_info *fi)
{
    const Node node = nodeOf(path);
    if (node != Node::Image && node != Node::Control)
        return node == Node::Root ? -EISDIR : -ENOENT;
    // Nothing of the image or the report is kept in the kernel's cache on this side.
    fi->direct_io = 1;
    fi->keep_cache = 0;
    return 0;
}

int slowTruncate(const char *path, off_t size, fuse_file_info *)
{
    switch (nodeOf(path)) {
    case Node::Image:
        return ftruncate(g_medium.fd, size) == 0 ? 0 : -errno;
    case Node::Control:
        return 0; // `echo pause > control` truncates first
    default:
        return -EACCES;
    }
}

int slowRead(const char *path, char *buffer, size_t size, off_t offset, fuse_file_info *)
{
    const Node node = nodeOf(path);
    if (node == Node::Control) {
        const std::string text = g_medium.report() + g_lies.report();
        if (offset >= static_cast<off_t>(text.size()))
            return 0;
        const size_t n = std::min(size, text.size() - static_cast<size_t>(offset));
        std::copy_n(text.data() + offset, n, buffer);
        return static_cast<int>(n);
    }
    if (node != Node::Image)
        return -ENOENT;
    // A failing read fails whole, before any of it is read (and only once the medium runs).
    if (!g_medium.holdUntilRunning() || g_lies.failsRead(offset, size))
        return -EIO;
    size_t done = 0;
    while (done < size) {
        const size_t slice = std::min(size - done, g_medium.sliceFor(g_medium.reads));
        const Lies::Piece piece = g_lies.place(offset + static_cast<off_t>(done), slice);
        if (!g_medium.admit(g_medium.reads, piece.length))
            return -EIO;
        const ssize_t n = pread(g_medium.fd, buffer + done, piece.length, piece.at);
        if (n < 0)
            return done > 0 ? static_cast<int>(done) : -errno;
        g_medium.reads.bytes += static_cast<std::uint64_t>(n);
        done += static_cast<size_t>(n);
        if (static_cast<size_t>(n) < piece.length)
            break; // end of the image
    }
    return static_cast<int>(done);
}

int controlCommand(std::string_view command)
{
    while (!command.empty() && (command.back() == '\n' || command.back() == ' ' || command.back() == '\r'))
        command.remove_suffix(1);
    std::uint64_t value = 0;
    if (command == "pause")
        g_medium.setPaused(true);
    else if (command == "resume")
        g_medium.setPaused(false);
    else if (command.starts_with("rate ") && Lies::number(command.substr(5), value))
        g_medium.setRate(g_medium.writes, value);
    else if (command.starts_with("read-rate ") && Lies::number(command.substr(10), value))
        g_medium.setRate(g_medium.reads, value);
    else
        return g_lies.command(command) == 0 ? 0 : -EINVAL;
    return 0;
}

int slowWrite(const char *path, const char *buffer, size_t size, off_t offset, fuse_file_info *)
{
    const Node node = nodeOf(path);
    if (node == Node::Control) {
        const int result = controlCommand(std::string_view(buffer, size));
        return result == 0 ? static_cast<int>(size) : result;
    }
    if (node != Node::Image)
        return -ENOENT;
    // A flipped write is stored with the lowest bit of its middle byte inverted.
    std::vector<char> flipped;
    if (size > 0 && g_lies.flipsWrite(offset, size)) {
        flipped.assign(buffer, buffer + size);
        flipped[size / 2] = static_cast<char>(flipped[size / 2] ^ 1);
        buffer = flipped.data();
    }
    size_t done = 0;
    while (done < size) {
        const size_t slice = std::min(size - done, g_medium.sliceFor(g_medium.writes));
        const Lies::Piece piece = g_lies.place(offset + static_cast<off_t>(done), slice);
        if (!g_medium.admit(g_medium.writes, piece.length))
            return -EIO;
        const ssize_t n = pwrite(g_medium.fd, buffer + done, piece.length, piece.at);
        if (n < 0)
            return done > 0 ? static_cast<int>(done) : -errno;
        // Start the host's write-back now (it does not wait for it).
        sync_file_range(g_medium.fd, piece.at, n, SYNC_FILE_RANGE_WRITE);
        g_medium.writes.bytes += static_cast<std::uint64_t>(n);
        done += static_cast<size_t>(n);
    }
    return static_cast<int>(done);
}

// A flush of the card reaches here as an fsync of the image: a hung reader never answers it.
// The store itself is not synced to the host disk: the host's durability is no part of the
// simulated medium, and the bytes are on the "device" once written above.
int slowFsync(const char *path, int, fuse_file_info *)
{
    if (nodeOf(path) != Node::Image)
        return 0;
    return g_medium.holdUntilRunning() ? 0 : -EIO;
}

void *slowInit(fuse_conn_info *conn, fuse_config *config)
{
    // Writeback caching would let the kernel collect writes above this daemon and hide the rate.
    conn->want &= ~FUSE_CAP_WRITEBACK_CACHE;
    config->kernel_cache = 0;
    config->direct_io = 0; // set per file in open
    return nullptr;
}

void onSignal(int)
{
    g_ending = true;
    if (fuse_session *session = g_session.load())
        fuse_session_exit(session);
}

int usage()
{
    std::fprintf(stderr,
        "usage: halvorix-slowfs [--rate BYTES_PER_S] [--read-rate BYTES_PER_S] [--size BYTES] STORE "
        "MOUNTPOINT\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    std::uint64_t rate = 0;
    std::uint64_t readRate = 0;
    std::uint64_t size = 0;
    bool sized = false;
    const char *store = nullptr;
    const char *mountPoint = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        auto number = [&](std::uint64_t &into) { return i + 1 < argc && Lies::number(argv[++i], into); };
        if (arg == "--rate") {
            if (!number(rate))
                return usage();
        } else if (arg == "--read-rate") {
            if (!number(readRate))
                return usage();
        } else if (arg == "--size") {
            if (!number(size))
                return usage();
            sized = true;
        } else if (!store) {
            store = argv[i];
        } else if (!mountPoint) {
            mountPoint = argv[i];
        } else {
            return usage();
        }
    }
    if (!store || !mountPoint)
        return usage();

    char reason[256];
    g_medium.fd = open(store, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (g_medium.fd < 0) {
        std::fprintf(
            stderr, "halvorix-slowfs: cannot open %s: %s\n", store, strerror_r(errno, reason, sizeof reason));
        return 1;
    }
    if (sized && ftruncate(g_medium.fd, static_cast<off_t>(size)) != 0) {
        std::fprintf(
            stderr, "halvorix-slowfs: cannot size %s: %s\n", store, strerror_r(errno, reason, sizeof reason));
        return 1;
    }
    g_medium.writes.rate = rate;
    g_medium.reads.rate = readRate;

    const fuse_operations operations = [] {
        fuse_operations ops{};
        ops.getattr = slowGetattr;
        ops.readdir = slowReaddir;
        ops.open = slowOpen;
        ops.truncate = slowTruncate;
        ops.read = slowRead;
        ops.write = slowWrite;
        ops.fsync = slowFsync;
        ops.init = slowInit;
        return ops;
    }();

    char program[] = "halvorix-slowfs";
    char optionFlag[] = "-o";
    char options[] = "fsname=halvorix-slowfs,subtype=halvorix-slowfs";
    char *fuseArgv[] = {program, optionFlag, options, nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, fuseArgv);
    fuse *fs = fuse_new(&args, &operations, sizeof operations, nullptr);
    if (!fs)
        return 1;
    if (fuse_mount(fs, mountPoint) != 0) {
        fuse_destroy(fs);
        return 1;
    }
    g_session = fuse_get_session(fs);

    struct sigaction action { };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // Enough threads that requests held by a pause never leave the control file unserved.
    fuse_loop_config *loop = fuse_loop_cfg_create();
    fuse_loop_cfg_set_max_threads(loop, 64);
    const int result = fuse_loop_mt(fs, loop);
    fuse_loop_cfg_destroy(loop);

    g_ending = true;
    g_session = nullptr;
    fuse_unmount(fs);
    fuse_destroy(fs);
    close(g_medium.fd);
    return result == 0 ? 0 : 1;
}
