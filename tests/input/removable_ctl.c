// SPDX-License-Identifier: GPL-3.0-or-later
/* A control device for tests, as an alsa-lib control plugin: an enumerated "Input Source"
 * with the lines "Mic" and "Line", and a stereo capture volume for each. A test can remove an
 * element, as a driver or sound server may, which alsa-lib announces as a removal and then
 * frees the mixer element; or hang the device up, as an unplugged card does. */

#define _GNU_SOURCE
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

enum { kSource, kMicVolume, kLineVolume, kElements };

static const char* const kNames[kElements] = {"Input Source", "Mic Capture Volume", "Line Capture Volume"};
static const char* const kItems[] = {"Mic", "Line"};

typedef struct {
    snd_ctl_ext_t ext;
    int pipe[2]; /* the read end is polled; a byte means news */
    int present[kElements];
    int removalPending[kElements];
    long volume[kElements][2];
    unsigned int item;
} Removable;

static Removable* g_open; /* the device opened last */

static int Present(Removable* r, snd_ctl_ext_key_t key) { return key < kElements && r->present[key]; }

static int ElemCount(snd_ctl_ext_t* ext) {
    Removable* r = ext->private_data;
    int n = 0;
    for (int k = 0; k < kElements; ++k) n += r->present[k];
    return n;
}

static int ElemList(snd_ctl_ext_t* ext, unsigned int offset, snd_ctl_elem_id_t* id) {
    Removable* r = ext->private_data;
    for (int k = 0; k < kElements; ++k) {
        if (!r->present[k]) continue;
        if (offset-- == 0) {
            snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
            snd_ctl_elem_id_set_name(id, kNames[k]);
            return 0;
        }
    }
    return -EINVAL;
}

static snd_ctl_ext_key_t FindElem(snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id) {
    Removable* r = ext->private_data;
    for (int k = 0; k < kElements; ++k)
        if (r->present[k] && strcmp(snd_ctl_elem_id_get_name(id), kNames[k]) == 0) return k;
    return SND_CTL_EXT_KEY_NOT_FOUND;
}

static int GetAttribute(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned int* acc,
                        unsigned int* count) {
    if (!Present(ext->private_data, key)) return -ENOENT;
    *type = key == kSource ? SND_CTL_ELEM_TYPE_ENUMERATED : SND_CTL_ELEM_TYPE_INTEGER;
    *acc = SND_CTL_EXT_ACCESS_READWRITE;
    *count = key == kSource ? 1 : 2;
    return 0;
}

static int GetIntegerInfo(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* min, long* max, long* step) {
    if (!Present(ext->private_data, key)) return -ENOENT;
    *min = 0;
    *max = 100;
    *step = 1;
    return 0;
}

static int GetEnumeratedInfo(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned int* items) {
    if (!Present(ext->private_data, key)) return -ENOENT;
    *items = 2;
    return 0;
}

static int GetEnumeratedName(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned int item, char* name,
                             size_t max) {
    if (!Present(ext->private_data, key) || item > 1) return -EINVAL;
    snprintf(name, max, "%s", kItems[item]);
    return 0;
}

static int ReadInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
    Removable* r = ext->private_data;
    if (!Present(r, key) || key == kSource) return -ENOENT;
    value[0] = r->volume[key][0];
    value[1] = r->volume[key][1];
    return 0;
}

static int WriteInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
    Removable* r = ext->private_data;
    if (!Present(r, key) || key == kSource) return -ENOENT;
    const int changed = r->volume[key][0] != value[0] || r->volume[key][1] != value[1];
    r->volume[key][0] = value[0];
    r->volume[key][1] = value[1];
    return changed;
}

static int ReadEnumerated(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned int* items) {
    Removable* r = ext->private_data;
    if (!Present(r, key) || key != kSource) return -ENOENT;
    items[0] = r->item;
    return 0;
}

static int WriteEnumerated(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned int* items) {
    Removable* r = ext->private_data;
    if (!Present(r, key) || key != kSource || items[0] > 1) return -EINVAL;
    const int changed = r->item != items[0];
    r->item = items[0];
    return changed;
}

static void SubscribeEvents(snd_ctl_ext_t* ext, int subscribe) {
    (void)ext;
    (void)subscribe;
}

static int ReadEvent(snd_ctl_ext_t* ext, snd_ctl_elem_id_t* id, unsigned int* mask) {
    Removable* r = ext->private_data;
    for (int k = 0; k < kElements; ++k) {
        if (!r->removalPending[k]) continue;
        r->removalPending[k] = 0;
        snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
        snd_ctl_elem_id_set_name(id, kNames[k]);
        *mask = SND_CTL_EVENT_MASK_REMOVE;
        return 1;
    }
    char drained[16];
    while (read(r->pipe[0], drained, sizeof drained) > 0) {
    }
    return -EAGAIN;
}

static void Close(snd_ctl_ext_t* ext) {
    Removable* r = ext->private_data;
    if (g_open == r) g_open = NULL;
    close(r->pipe[0]);
    if (r->pipe[1] >= 0) close(r->pipe[1]);
    free(r);
}

static const snd_ctl_ext_callback_t kCallbacks = {
    .close = Close,
    .elem_count = ElemCount,
    .elem_list = ElemList,
    .find_elem = FindElem,
    .get_attribute = GetAttribute,
    .get_integer_info = GetIntegerInfo,
    .get_enumerated_info = GetEnumeratedInfo,
    .get_enumerated_name = GetEnumeratedName,
    .read_integer = ReadInteger,
    .read_enumerated = ReadEnumerated,
    .write_integer = WriteInteger,
    .write_enumerated = WriteEnumerated,
    .subscribe_events = SubscribeEvents,
    .read_event = ReadEvent,
};

SND_CTL_PLUGIN_DEFINE_FUNC(pelmora_removable) {
    (void)root;
    (void)conf;
    Removable* r = calloc(1, sizeof *r);
    if (!r) return -ENOMEM;
    if (pipe2(r->pipe, O_NONBLOCK | O_CLOEXEC) < 0) {
        free(r);
        return -errno;
    }
    for (int k = 0; k < kElements; ++k) {
        r->present[k] = 1;
        r->volume[k][0] = 80;
        r->volume[k][1] = 40;
    }
    r->ext.version = SND_CTL_EXT_VERSION;
    r->ext.card_idx = 0;
    strcpy(r->ext.id, "removable");
    strcpy(r->ext.driver, "removable");
    strcpy(r->ext.name, "Removable");
    strcpy(r->ext.longname, "Removable test controls");
    strcpy(r->ext.mixername, "Removable");
    r->ext.poll_fd = r->pipe[0];
    r->ext.callback = &kCallbacks;
    r->ext.private_data = r;
    const int err = snd_ctl_ext_create(&r->ext, name, mode);
    if (err < 0) {
        close(r->pipe[0]);
        close(r->pipe[1]);
        free(r);
        return err;
    }
    g_open = r;
    *handlep = r->ext.handle;
    return 0;
}
SND_CTL_PLUGIN_SYMBOL(pelmora_removable);

/* For the test: the element of that name disappears. 0 on success. */
__attribute__((visibility("default"))) int pelmora_removable_remove(const char* name) {
    if (!g_open) return -ENODEV;
    for (int k = 0; k < kElements; ++k)
        if (g_open->present[k] && strcmp(name, kNames[k]) == 0) {
            g_open->present[k] = 0;
            g_open->removalPending[k] = 1;
            return write(g_open->pipe[1], "r", 1) == 1 ? 0 : -errno;
        }
    return -ENOENT;
}

/* For the test: the device hangs up; its descriptor reports POLLHUP from now on. */
__attribute__((visibility("default"))) int pelmora_removable_hang_up(void) {
    if (!g_open || g_open->pipe[1] < 0) return -ENODEV;
    close(g_open->pipe[1]);
    g_open->pipe[1] = -1;
    return 0;
}
