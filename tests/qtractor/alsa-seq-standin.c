/* Test-only. Qtractor will not start its engine without the ALSA sequencer, and these
 * machines' kernels have none (no /dev/snd/seq). Preloaded into Qtractor, this library
 * answers every call that takes a sequencer handle as an idle sequencer would: opening
 * succeeds, ports and queues are made, nothing arrives and no other client exists. Plug-ins
 * on MIDI tracks get their clips' events from Qtractor directly, so the instrument under
 * test plays as it would with a real sequencer; only Qtractor's own MIDI ports are dead.
 * The sequencer's info records (allocated and filled by the real library) are left to it.
 * Pointer arguments are declared as void pointers: the calls' ABI is the same. */
#include <errno.h>
#include <poll.h>
#include <string.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

static int standin; /* the one handle: its address is all a caller sees */
static int nextPort;
static int nextQueue;
static int quietPipe[2] = {-1, -1}; /* never written: poll on it waits for nothing */

EXPORT int snd_seq_open(void **handle, const char *name, int streams, int mode)
{
    (void)name; (void)streams; (void)mode;
    if (quietPipe[0] < 0 && pipe(quietPipe) != 0) return -errno;
    *handle = &standin;
    return 0;
}
EXPORT int snd_seq_close(void *seq) { (void)seq; return 0; }
EXPORT int snd_seq_client_id(void *seq) { (void)seq; return 128; }
EXPORT int snd_seq_set_client_name(void *seq, const char *name) { (void)seq; (void)name; return 0; }
EXPORT int snd_seq_alloc_queue(void *seq) { (void)seq; return nextQueue++; }
EXPORT int snd_seq_free_queue(void *seq, int queue) { (void)seq; (void)queue; return 0; }
EXPORT int snd_seq_control_queue(void *seq, int q, int type, int value, void *ev)
{ (void)seq; (void)q; (void)type; (void)value; (void)ev; return 0; }
EXPORT int snd_seq_create_simple_port(void *seq, const char *name, unsigned caps, unsigned type)
{ (void)seq; (void)name; (void)caps; (void)type; return nextPort++; }
EXPORT int snd_seq_delete_simple_port(void *seq, int port) { (void)seq; (void)port; return 0; }
EXPORT int snd_seq_drain_output(void *seq) { (void)seq; return 0; }
EXPORT int snd_seq_drop_input(void *seq) { (void)seq; return 0; }
EXPORT int snd_seq_drop_output(void *seq) { (void)seq; return 0; }
EXPORT int snd_seq_event_input(void *seq, void **ev) { (void)seq; *ev = 0; return -EAGAIN; }
EXPORT int snd_seq_event_input_pending(void *seq, int fetch) { (void)seq; (void)fetch; return 0; }
EXPORT int snd_seq_event_output(void *seq, void *ev) { (void)seq; (void)ev; return 0; }
EXPORT int snd_seq_event_output_direct(void *seq, void *ev) { (void)seq; (void)ev; return 0; }
EXPORT int snd_seq_poll_descriptors_count(void *seq, short events)
{ (void)seq; (void)events; return 1; }
EXPORT int snd_seq_poll_descriptors(void *seq, struct pollfd *pfds, unsigned space, short events)
{
    (void)seq;
    if (space < 1) return 0;
    memset(pfds, 0, sizeof *pfds);
    pfds->fd = quietPipe[0];
    pfds->events = events;
    return 1;
}
/* No other client and no port to list or connect. */
EXPORT int snd_seq_query_next_client(void *seq, void *info) { (void)seq; (void)info; return -ENOENT; }
EXPORT int snd_seq_query_next_port(void *seq, void *info) { (void)seq; (void)info; return -ENOENT; }
EXPORT int snd_seq_query_port_subscribers(void *seq, void *subs) { (void)seq; (void)subs; return -ENOENT; }
EXPORT int snd_seq_get_any_client_info(void *seq, int client, void *info)
{ (void)seq; (void)client; (void)info; return -ENOENT; }
EXPORT int snd_seq_get_any_port_info(void *seq, int client, int port, void *info)
{ (void)seq; (void)client; (void)port; (void)info; return -ENOENT; }
EXPORT int snd_seq_get_port_info(void *seq, int port, void *info) { (void)seq; (void)port; (void)info; return 0; }
EXPORT int snd_seq_set_port_info(void *seq, int port, void *info) { (void)seq; (void)port; (void)info; return 0; }
EXPORT int snd_seq_subscribe_port(void *seq, void *sub) { (void)seq; (void)sub; return 0; }
EXPORT int snd_seq_unsubscribe_port(void *seq, void *sub) { (void)seq; (void)sub; return 0; }
/* The queue's records stay as the real library made them: tick 0, the tempo Qtractor set. */
EXPORT int snd_seq_get_queue_status(void *seq, int q, void *status) { (void)seq; (void)q; (void)status; return 0; }
EXPORT int snd_seq_get_queue_tempo(void *seq, int q, void *tempo) { (void)seq; (void)q; (void)tempo; return 0; }
EXPORT int snd_seq_set_queue_tempo(void *seq, int q, void *tempo) { (void)seq; (void)q; (void)tempo; return 0; }
EXPORT int snd_seq_set_queue_timer(void *seq, int q, void *timer) { (void)seq; (void)q; (void)timer; return 0; }
EXPORT int snd_seq_remove_events(void *seq, void *rmp) { (void)seq; (void)rmp; return 0; }
