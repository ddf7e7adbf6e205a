// SPDX-License-Identifier: GPL-3.0-or-later
/* A capture PCM for tests, as an alsa-lib I/O plugin: it behaves like a sound server's plugin
 * whose server is gone. Its descriptor is always readable, every read overruns, and every
 * recovery (prepare, start) succeeds; no frame ever arrives. */

#define _GNU_SOURCE
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <errno.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

typedef struct {
    snd_pcm_ioplug_t io;
    int fd;
} Overrun;

static unsigned long g_prepares; /* over every device opened */

static int Start(snd_pcm_ioplug_t* io) {
    (void)io;
    return 0;
}

static int Stop(snd_pcm_ioplug_t* io) {
    (void)io;
    return 0;
}

static int Prepare(snd_pcm_ioplug_t* io) {
    (void)io;
    __atomic_add_fetch(&g_prepares, 1, __ATOMIC_RELAXED);
    return 0;
}

static snd_pcm_sframes_t Pointer(snd_pcm_ioplug_t* io) {
    return io->state == SND_PCM_STATE_RUNNING ? -EPIPE : 0;
}

static snd_pcm_sframes_t Transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                                  snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
    (void)io;
    (void)areas;
    (void)offset;
    (void)size;
    return 0;
}

static int Close(snd_pcm_ioplug_t* io) {
    Overrun* o = io->private_data;
    close(o->fd);
    free(o);
    return 0;
}

static const snd_pcm_ioplug_callback_t kCallbacks = {
    .start = Start,
    .stop = Stop,
    .pointer = Pointer,
    .transfer = Transfer,
    .close = Close,
    .prepare = Prepare,
};

SND_PCM_PLUGIN_DEFINE_FUNC(pelmora_overrun) {
    (void)root;
    (void)conf;
    if (stream != SND_PCM_STREAM_CAPTURE) return -EINVAL;
    Overrun* o = calloc(1, sizeof *o);
    if (!o) return -ENOMEM;
    o->fd = eventfd(1, EFD_NONBLOCK | EFD_CLOEXEC);
    if (o->fd < 0) {
        free(o);
        return -errno;
    }
    o->io.version = SND_PCM_IOPLUG_VERSION;
    o->io.name = "Pelmora overrun test input";
    o->io.poll_fd = o->fd;
    o->io.poll_events = POLLIN;
    o->io.mmap_rw = 0;
    o->io.callback = &kCallbacks;
    o->io.private_data = o;
    int err = snd_pcm_ioplug_create(&o->io, name, stream, mode);
    if (err < 0) {
        close(o->fd);
        free(o);
        return err;
    }
    static const unsigned int kAccess[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    static const unsigned int kFormats[] = {SND_PCM_FORMAT_U8, SND_PCM_FORMAT_S16_LE};
    if ((err = snd_pcm_ioplug_set_param_list(&o->io, SND_PCM_IOPLUG_HW_ACCESS, 1, kAccess)) < 0 ||
        (err = snd_pcm_ioplug_set_param_list(&o->io, SND_PCM_IOPLUG_HW_FORMAT, 2, kFormats)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&o->io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&o->io, SND_PCM_IOPLUG_HW_RATE, 8000, 48000)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&o->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 1 << 20)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&o->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64)) < 0) {
        snd_pcm_ioplug_delete(&o->io);
        return err;
    }
    *pcmp = o->io.pcm;
    return 0;
}
SND_PCM_PLUGIN_SYMBOL(pelmora_overrun);

/* For the test: prepare calls so far, the first of every open included. */
__attribute__((visibility("default"))) unsigned long pelmora_overrun_prepares(void) {
    return __atomic_load_n(&g_prepares, __ATOMIC_RELAXED);
}
