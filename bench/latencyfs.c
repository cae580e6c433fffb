// A read-only FUSE view of a folder that waits a set time in each request,
// as a cluster file system does for its round trips:
//
//     latencyfs BACKING MOUNTPOINT [-f] [-o latency_us=1000,threads=256,stats]
//
// Every request that reaches it (lookup and getattr, opendir, each readdir,
// releasedir, open, read, release, readlink) sleeps latency_us microseconds
// before it is passed on to BACKING. The kernel keeps nothing it could answer
// from later: entries and attributes expire at once, directory listings and
// file pages are not cached, and readdirplus is off, so every walk pays for
// every folder it opens and lists. Up to `threads` requests are served at
// once, each worker thread on its own cloned /dev/fuse descriptor.
//
// With `stats`, SIGUSR1 writes one line to standard error and starts the
// counts again, and unmounting writes the last one:
//
//     latencyfs: requests 2301 getattr 1150 opendir 380 readdir 390 releasedir 380 other 1
//                peak 33 waited 31 waited_us 2480000
//
// (on one line) where peak is the most requests in flight at once, waited
// the most of them that a caller was waiting for (all but the releases,
// which the kernel sends without waiting), and waited_us the time spent in
// those, added up: divided by the wall time of a walk, the mean number of
// requests it kept in flight.
#define FUSE_USE_VERSION 312
#define _GNU_SOURCE

#include <fuse.h>
#include <fuse_lowlevel.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdatomic.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

enum kind { GETATTR, OPENDIR, READDIR, RELEASEDIR, OTHER, KINDS };
static char const* const kind_names[KINDS] = {"getattr", "opendir", "readdir", "releasedir", "other"};

static struct {
    char* backing;
    int backing_fd;
    long latency_us;
    int threads;
    int stats;
} config = {NULL, -1, 0, 256, 0};

static struct {
    atomic_long requests[KINDS];
    atomic_long in_flight, waited_in_flight;
    atomic_long peak, waited_peak;
    atomic_long waited_us; // the time callers spent waiting, added up
} counts;

static __thread struct timespec started;

static long microseconds_since(struct timespec const* then)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - then->tv_sec) * 1000000L + (now.tv_nsec - then->tv_nsec) / 1000;
}

static void raise_peak(atomic_long* peak, long now)
{
    long seen = atomic_load(peak);
    while (now > seen && !atomic_compare_exchange_weak(peak, &seen, now)) {
    }
}

// Counts the request in and waits the latency. Releases are not waited for
// by the program that closed the folder or file.
static void begin(enum kind kind, int waited)
{
    atomic_fetch_add(&counts.requests[kind], 1);
    raise_peak(&counts.peak, atomic_fetch_add(&counts.in_flight, 1) + 1);
    if (waited) {
        raise_peak(&counts.waited_peak, atomic_fetch_add(&counts.waited_in_flight, 1) + 1);
        clock_gettime(CLOCK_MONOTONIC, &started);
    }
    if (config.latency_us <= 0)
        return;
    static __thread int slack_set;
    if (!slack_set) {
        // The default 50 us of timer slack would lengthen every short wait.
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        slack_set = 1;
    }
    struct timespec wait = {config.latency_us / 1000000, (config.latency_us % 1000000) * 1000};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &wait, &wait) == EINTR) {
    }
}

static int end(int waited, int result)
{
    atomic_fetch_sub(&counts.in_flight, 1);
    if (waited) {
        atomic_fetch_add(&counts.waited_us, microseconds_since(&started));
        atomic_fetch_sub(&counts.waited_in_flight, 1);
    }
    return result;
}

static void report_and_reset(void)
{
    char line[512];
    int used = snprintf(line, sizeof line, "latencyfs: requests %ld",
                        atomic_load(&counts.requests[0]) + atomic_load(&counts.requests[1]) +
                            atomic_load(&counts.requests[2]) + atomic_load(&counts.requests[3]) +
                            atomic_load(&counts.requests[4]));
    for (int k = 0; k < KINDS; ++k)
        used += snprintf(line + used, sizeof line - used, " %s %ld", kind_names[k],
                         atomic_exchange(&counts.requests[k], 0));
    // What is still in flight counts towards the next peak.
    used += snprintf(line + used, sizeof line - used, " peak %ld waited %ld waited_us %ld\n",
                     atomic_exchange(&counts.peak, atomic_load(&counts.in_flight)),
                     atomic_exchange(&counts.waited_peak, atomic_load(&counts.waited_in_flight)),
                     atomic_exchange(&counts.waited_us, 0));
    fputs(line, stderr);
    fflush(stderr);
}

static void* stats_thread(void* signals)
{
    for (;;) {
        int signal = 0;
        if (sigwait((sigset_t*)signals, &signal) == 0)
            report_and_reset();
    }
    return NULL;
}

// Paths come as "/a/b"; the backing folder is opened once and the requests
// go relative to it.
static char const* relative(char const* path)
{
    while (*path == '/')
        ++path;
    return *path ? path : ".";
}

static void* lfs_init(struct fuse_conn_info* conn, struct fuse_config* cfg)
{
    cfg->use_ino = 1;
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->kernel_cache = 0;
    cfg->auto_cache = 0;
    conn->want &= ~(FUSE_CAP_READDIRPLUS | FUSE_CAP_READDIRPLUS_AUTO | FUSE_CAP_CACHE_SYMLINKS);
    return NULL;
}

static int lfs_getattr(char const* path, struct stat* st, struct fuse_file_info* fi)
{
    begin(GETATTR, 1);
    int r = fi ? fstat((int)fi->fh, st) : fstatat(config.backing_fd, relative(path), st, AT_SYMLINK_NOFOLLOW);
    return end(1, r == 0 ? 0 : -errno);
}

static int lfs_readlink(char const* path, char* buf, size_t size)
{
    begin(OTHER, 1);
    ssize_t n = readlinkat(config.backing_fd, relative(path), buf, size - 1);
    if (n < 0)
        return end(1, -errno);
    buf[n] = '\0';
    return end(1, 0);
}

struct open_dir {
    DIR* dir;
    struct dirent* entry; // read but not yet handed out
    off_t offset;
};

static int lfs_opendir(char const* path, struct fuse_file_info* fi)
{
    begin(OPENDIR, 1);
    struct open_dir* d = calloc(1, sizeof *d);
    if (!d)
        return end(1, -ENOMEM);
    int fd = openat(config.backing_fd, relative(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || !(d->dir = fdopendir(fd))) {
        int error = errno;
        if (fd >= 0)
            close(fd);
        free(d);
        return end(1, -error);
    }
    fi->fh = (uintptr_t)d;
    fi->keep_cache = 0;
    fi->cache_readdir = 0;
    return end(1, 0);
}

// One kernel READDIR request, one call: the entries go out with the offset
// of the next one, so a folder larger than a request's buffer takes several
// requests, each with its round trip.
static int lfs_readdir(char const* path, void* buf, fuse_fill_dir_t fill, off_t offset,
                       struct fuse_file_info* fi, enum fuse_readdir_flags flags)
{
    (void)path;
    (void)flags;
    begin(READDIR, 1);
    struct open_dir* d = (struct open_dir*)(uintptr_t)fi->fh;
    if (offset != d->offset) {
        seekdir(d->dir, offset);
        d->entry = NULL;
        d->offset = offset;
    }
    for (;;) {
        if (!d->entry) {
            errno = 0;
            d->entry = readdir(d->dir);
            if (!d->entry) {
                if (errno)
                    return end(1, -errno);
                break;
            }
        }
        struct stat st;
        memset(&st, 0, sizeof st);
        st.st_ino = d->entry->d_ino;
        st.st_mode = DTTOIF(d->entry->d_type);
        off_t next = telldir(d->dir);
        if (fill(buf, d->entry->d_name, &st, next, 0))
            break;
        d->entry = NULL;
        d->offset = next;
    }
    return end(1, 0);
}

static int lfs_releasedir(char const* path, struct fuse_file_info* fi)
{
    (void)path;
    begin(RELEASEDIR, 0);
    struct open_dir* d = (struct open_dir*)(uintptr_t)fi->fh;
    closedir(d->dir);
    free(d);
    return end(0, 0);
}

static int lfs_open(char const* path, struct fuse_file_info* fi)
{
    begin(OTHER, 1);
    if ((fi->flags & O_ACCMODE) != O_RDONLY)
        return end(1, -EROFS);
    int fd = openat(config.backing_fd, relative(path), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return end(1, -errno);
    fi->fh = (uint64_t)fd;
    fi->keep_cache = 0;
    fi->direct_io = 1; // no page cache: each read is a request
    return end(1, 0);
}

static int lfs_read(char const* path, char* buf, size_t size, off_t offset, struct fuse_file_info* fi)
{
    (void)path;
    begin(OTHER, 1);
    ssize_t n = pread((int)fi->fh, buf, size, offset);
    return end(1, n < 0 ? -errno : (int)n);
}

static int lfs_release(char const* path, struct fuse_file_info* fi)
{
    (void)path;
    begin(OTHER, 0);
    close((int)fi->fh);
    return end(0, 0);
}

static int lfs_statfs(char const* path, struct statvfs* st)
{
    (void)path;
    return fstatvfs(config.backing_fd, st) == 0 ? 0 : -errno;
}

static struct fuse_operations const operations = {
    .init = lfs_init,
    .getattr = lfs_getattr,
    .readlink = lfs_readlink,
    .opendir = lfs_opendir,
    .readdir = lfs_readdir,
    .releasedir = lfs_releasedir,
    .open = lfs_open,
    .read = lfs_read,
    .release = lfs_release,
    .statfs = lfs_statfs,
};

#define LFS_OPT(t, p)                                                                                        \
    {                                                                                                        \
        t, offsetof(struct options, p), 1                                                                    \
    }
struct options {
    long latency_us;
    int threads;
    int stats;
};
static struct fuse_opt const option_spec[] = {LFS_OPT("latency_us=%ld", latency_us),
                                              LFS_OPT("threads=%d", threads), LFS_OPT("stats", stats),
                                              FUSE_OPT_END};

// The first argument that is not an option is the backing folder; the next
// one, the mount point, is left to fuse_parse_cmdline.
static int take_backing(void* data, char const* arg, int key, struct fuse_args* args)
{
    (void)data;
    (void)args;
    if (key == FUSE_OPT_KEY_NONOPT && !config.backing) {
        config.backing = realpath(arg, NULL);
        if (!config.backing) {
            fprintf(stderr, "latencyfs: %s: %s\n", arg, strerror(errno));
            return -1;
        }
        return 0;
    }
    return 1;
}

static void usage(char const* program)
{
    printf("usage: %s BACKING MOUNTPOINT [options]\n\n"
           "Shows the folder BACKING read-only at MOUNTPOINT, waiting in each request.\n\n"
           "    -o latency_us=N   wait N microseconds in each request (default 0)\n"
           "    -o threads=N      serve up to N requests at once (default 256)\n"
           "    -o stats          on SIGUSR1 and at unmount, write the request counts and\n"
           "                      the most requests in flight at once to standard error\n\n",
           program);
    fuse_cmdline_help();
    fuse_lib_help(NULL);
}

int main(int argc, char* argv[])
{
    struct fuse_args args = FUSE_ARGS_INIT(argc, argv);
    struct options options = {0, config.threads, 0};
    if (fuse_opt_parse(&args, &options, option_spec, take_backing) != 0)
        return 1;
    config.latency_us = options.latency_us;
    config.threads = options.threads;
    config.stats = options.stats;

    struct fuse_cmdline_opts opts;
    if (fuse_parse_cmdline(&args, &opts) != 0)
        return 1;
    int status = 1;
    if (opts.show_help || opts.show_version) {
        if (opts.show_help)
            usage(argv[0]);
        else
            fuse_lowlevel_version();
        status = 0;
        goto out_opts;
    }
    if (!config.backing || !opts.mountpoint || config.latency_us < 0 || config.threads < 1) {
        fprintf(stderr, "latencyfs: needs BACKING and MOUNTPOINT, latency_us >= 0 and threads >= 1 "
                        "(--help tells more)\n");
        goto out_opts;
    }
    config.backing_fd = open(config.backing, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (config.backing_fd < 0) {
        fprintf(stderr, "latencyfs: %s: %s\n", config.backing, strerror(errno));
        goto out_opts;
    }

    // Mounted read-only under the backing folder's name; the kernel checks no
    // permissions of its own (the backing file system does).
    char fsname[4200];
    snprintf(fsname, sizeof fsname, "-oro,subtype=latencyfs,fsname=%s", config.backing);
    if (fuse_opt_add_arg(&args, fsname) != 0)
        goto out_opts;

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGUSR1);
    if (config.stats) {
        // Blocked before any thread starts, so only the stats thread takes it.
        pthread_sigmask(SIG_BLOCK, &signals, NULL);
        pthread_t thread;
        if (pthread_create(&thread, NULL, stats_thread, &signals) != 0) {
            fprintf(stderr, "latencyfs: cannot start the stats thread\n");
            goto out_opts;
        }
        pthread_detach(thread);
    }

    struct fuse* fuse = fuse_new(&args, &operations, sizeof operations, NULL);
    if (!fuse)
        goto out_opts;
    if (fuse_mount(fuse, opts.mountpoint) != 0)
        goto out_fuse;
    if (fuse_daemonize(opts.foreground) != 0)
        goto out_unmount;
    struct fuse_session* session = fuse_get_session(fuse);
    if (fuse_set_signal_handlers(session) != 0)
        goto out_unmount;

    struct fuse_loop_config* loop = fuse_loop_cfg_create();
    if (!loop)
        goto out_signals;
    fuse_loop_cfg_set_clone_fd(loop, 1);
    fuse_loop_cfg_set_max_threads(loop, (unsigned)config.threads);
    // Threads that are started stay: a walk comes in bursts.
    fuse_loop_cfg_set_idle_threads(loop, (unsigned)config.threads);
    status = opts.singlethread ? fuse_loop(fuse) : fuse_loop_mt(fuse, loop);
    fuse_loop_cfg_destroy(loop);
    if (config.stats)
        report_and_reset();

out_signals:
    fuse_remove_signal_handlers(session);
out_unmount:
    fuse_unmount(fuse);
out_fuse:
    fuse_destroy(fuse);
out_opts:
    free(opts.mountpoint);
    fuse_opt_free_args(&args);
    return status ? 1 : 0;
}
