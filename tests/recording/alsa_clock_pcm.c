// SPDX-License-Identifier: GPL-3.0-or-later
/* A capture PCM for tests, loaded by alsa-lib as an external I/O plugin: it runs on the
 * real clock like a sound card, numbers its frames (each 4-byte frame holds its index since
 * the first start + 1, little-endian; narrower frames hold the low bytes) and reports an
 * overrun when its reader falls more than a buffer behind, as hardware does.
 *
 * Faults, from the configuration:
 *   hold_at, hold_ms        the first read once frame hold_at has been read keeps its reader
 *                           for hold_ms before it looks at the device
 *   hold_in_transfer        the hold comes instead while that read copies its frames, after the
 *                           device was emptied
 *   suspend_at              at frame suspend_at the device is suspended (power management);
 *                           snd_pcm_resume wakes it, and the time asleep is gone
 * Frame numbers go on with the clock across overruns and suspends, so a gap in the numbers
 * is exactly the sound that was lost. */

#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

struct clock_pcm {
    snd_pcm_ioplug_t io;
    int timer;
    uint64_t first_start_ns; /* 0 until the first start */
    uint64_t start_frame;    /* frame number at the latest start */
    uint64_t taken;          /* frames read since the latest start */
    long hold_at, hold_ms, suspend_at, hold_in_transfer;
    int held, suspended;
    uint64_t frozen; /* frames produced when the device was suspended */
};

static uint64_t now_ns(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint64_t)t.tv_sec * 1000000000u + (uint64_t)t.tv_nsec;
}

static uint64_t frames_since_first_start(const struct clock_pcm* p) {
    return (now_ns() - p->first_start_ns) * p->io.rate / 1000000000u;
}

static int clock_start(snd_pcm_ioplug_t* io) {
    struct clock_pcm* p = io->private_data;
    if (p->first_start_ns == 0) p->first_start_ns = now_ns();
    p->start_frame = frames_since_first_start(p);
    p->taken = 0;
    const long period_ns = (long)(io->period_size * 1000000000ull / io->rate);
    struct itimerspec spec = {{period_ns / 1000000000, period_ns % 1000000000},
                              {period_ns / 1000000000, period_ns % 1000000000}};
    return timerfd_settime(p->timer, 0, &spec, NULL) == 0 ? 0 : -errno;
}

static int clock_stop(snd_pcm_ioplug_t* io) {
    struct clock_pcm* p = io->private_data;
    struct itimerspec off;
    memset(&off, 0, sizeof off);
    timerfd_settime(p->timer, 0, &off, NULL);
    return 0;
}

static void hold_reader(struct clock_pcm* p) {
    p->held = 1;
    struct timespec hold = {p->hold_ms / 1000, (p->hold_ms % 1000) * 1000000};
    while (nanosleep(&hold, &hold) != 0 && errno == EINTR) {
    }
}

/* The hardware position within the buffer; the ring's pointers start at 0 with each start. */
static snd_pcm_sframes_t clock_pointer(snd_pcm_ioplug_t* io) {
    struct clock_pcm* p = io->private_data;
    if (io->state == SND_PCM_STATE_SUSPENDED) return (snd_pcm_sframes_t)(p->frozen % io->buffer_size);
    if (io->state != SND_PCM_STATE_RUNNING) return 0;
    if (p->hold_at > 0 && !p->held && !p->hold_in_transfer && p->start_frame + p->taken >= (uint64_t)p->hold_at)
        hold_reader(p);
    const uint64_t produced = frames_since_first_start(p) - p->start_frame;
    if (p->suspend_at > 0 && !p->suspended && p->start_frame + produced >= (uint64_t)p->suspend_at) {
        p->suspended = 1;
        p->frozen = produced < p->taken + io->buffer_size ? produced : p->taken + io->buffer_size;
        snd_pcm_ioplug_set_state(io, SND_PCM_STATE_SUSPENDED);
        return (snd_pcm_sframes_t)(p->frozen % io->buffer_size);
    }
    if (produced - p->taken > io->buffer_size) return -EPIPE;
    return (snd_pcm_sframes_t)(produced % io->buffer_size);
}

static snd_pcm_sframes_t clock_transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                                        snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
    struct clock_pcm* p = io->private_data;
    const unsigned frame_bytes = areas[0].step / 8;
    unsigned char* at = (unsigned char*)areas[0].addr + areas[0].first / 8 + offset * frame_bytes;
    for (snd_pcm_uframes_t i = 0; i < size; ++i) {
        const uint32_t number = (uint32_t)(p->start_frame + p->taken + i + 1);
        for (unsigned b = 0; b < frame_bytes; ++b) at[i * frame_bytes + b] = (unsigned char)(number >> (8 * (b % 4)));
    }
    p->taken += size;
    if (p->hold_at > 0 && !p->held && p->hold_in_transfer && p->start_frame + p->taken >= (uint64_t)p->hold_at)
        hold_reader(p);
    return (snd_pcm_sframes_t)size;
}

static int clock_resume(snd_pcm_ioplug_t* io) {
    /* Awake again: the stream runs on from where it stopped; what fell in the sleep is gone,
     * and the frame numbers jump by it. */
    struct clock_pcm* p = io->private_data;
    p->start_frame = frames_since_first_start(p) - p->frozen;
    snd_pcm_ioplug_set_state(io, SND_PCM_STATE_RUNNING);
    return 0;
}

static int clock_poll_revents(snd_pcm_ioplug_t* io, struct pollfd* pfds, unsigned int nfds,
                              unsigned short* revents) {
    struct clock_pcm* p = io->private_data;
    (void)nfds;
    uint64_t ticks;
    if (pfds[0].revents & POLLIN) {
        ssize_t n = read(p->timer, &ticks, sizeof ticks);
        (void)n;
    }
    *revents = pfds[0].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL);
    return 0;
}

static int clock_close(snd_pcm_ioplug_t* io) {
    struct clock_pcm* p = io->private_data;
    close(p->timer);
    free(p);
    return 0;
}

static const snd_pcm_ioplug_callback_t clock_callbacks = {
    .start = clock_start,
    .stop = clock_stop,
    .pointer = clock_pointer,
    .transfer = clock_transfer,
    .resume = clock_resume,
    .poll_revents = clock_poll_revents,
    .close = clock_close,
};

static long config_number(snd_config_t* n) {
    long v = 0;
    snd_config_get_integer(n, &v);
    return v;
}

SND_PCM_PLUGIN_DEFINE_FUNC(pelmoraclock) {
    (void)root;
    struct clock_pcm* p = calloc(1, sizeof *p);
    if (!p) return -ENOMEM;
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, conf) {
        snd_config_t* n = snd_config_iterator_entry(i);
        const char* id;
        if (snd_config_get_id(n, &id) < 0) continue;
        if (strcmp(id, "hold_at") == 0) p->hold_at = config_number(n);
        else if (strcmp(id, "hold_ms") == 0) p->hold_ms = config_number(n);
        else if (strcmp(id, "suspend_at") == 0) p->suspend_at = config_number(n);
        else if (strcmp(id, "hold_in_transfer") == 0) p->hold_in_transfer = config_number(n);
    }
    if (stream != SND_PCM_STREAM_CAPTURE) {
        free(p);
        return -EINVAL;
    }
    p->timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (p->timer < 0) {
        free(p);
        return -errno;
    }
    p->io.version = SND_PCM_IOPLUG_VERSION;
    p->io.name = "Pelmora test clock";
    p->io.callback = &clock_callbacks;
    p->io.private_data = p;
    p->io.poll_fd = p->timer;
    p->io.poll_events = POLLIN;
    int err = snd_pcm_ioplug_create(&p->io, name, stream, mode);
    if (err < 0) {
        close(p->timer);
        free(p);
        return err;
    }
    static const unsigned int access[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    static const unsigned int formats[] = {SND_PCM_FORMAT_U8, SND_PCM_FORMAT_S16_LE};
    static const unsigned int rates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
    if ((err = snd_pcm_ioplug_set_param_list(&p->io, SND_PCM_IOPLUG_HW_ACCESS, 1, access)) < 0 ||
        (err = snd_pcm_ioplug_set_param_list(&p->io, SND_PCM_IOPLUG_HW_FORMAT, 2, formats)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&p->io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2)) < 0 ||
        (err = snd_pcm_ioplug_set_param_list(&p->io, SND_PCM_IOPLUG_HW_RATE, 7, rates)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&p->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 1 << 20)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&p->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64)) < 0) {
        snd_pcm_ioplug_delete(&p->io);
        return err;
    }
    *pcmp = p->io.pcm;
    return 0;
}

SND_PCM_PLUGIN_SYMBOL(pelmoraclock);
