#ifndef QUILEX_SIM_CONTROL_H
#define QUILEX_SIM_CONTROL_H
/* Control of the simulated gauge behind libquilex-sim-usb.so, for tests and demos. Look the
 * functions up with dlsym on the same handle that the program's loader uses. Every function
 * is safe to call from any thread. */

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the fault list and the image file and starts the gauge afresh: new contents, counters
 * at zero, every open handle closed, the bus not yet searched. A non-NULL argument replaces
 * $QUILEX_SIM or $QUILEX_SIM_IMAGE for this and every later usb_init; NULL goes back to the
 * environment variable. "" means no faults, or the built-in demo gauge. Returns 0, or -1
 * when the list or the image is bad (see quilex_sim_last_error; the bus is then empty). */
int quilex_sim_configure(const char* faults, const char* image_path);

/* The last configuration error, "" when the last configuration was good. */
const char* quilex_sim_last_error(void);

int quilex_sim_usb_init_calls(void);   /* usb_init calls since quilex_sim_configure */
int quilex_sim_usb_open_calls(void);   /* usb_open calls since quilex_sim_configure */
int quilex_sim_open_handles(void);     /* handles opened and not yet closed */
int quilex_sim_transfer_count(void);   /* bulk transfers counted for the faults */

/* The gauge leaves the bus: transfers on open handles fail with -19 (ENODEV) and the next
 * usb_find_devices reports the change and lists no device. */
void quilex_sim_unplug(void);
/* The gauge comes back as a new device (handles opened before stay dead). A gauge that is
 * on the bus is pulled out and plugged in again: the next usb_find_devices reports 2. */
void quilex_sim_replug(void);
int quilex_sim_is_plugged(void);

/* Copy what the gauge now holds into out (at most size bytes); return the full length
 * (468 and 1024), or -1 when out is NULL or size is negative. */
int quilex_sim_material_table(unsigned char* out, int size);
int quilex_sim_screen(unsigned char* out, int size);

int quilex_sim_material_writes(void);  /* material tables received (05 FA) */
int quilex_sim_record_count(void);     /* measurements in the archive */
int quilex_sim_pending_bytes(void);    /* reply bytes not yet read */

#ifdef __cplusplus
}
#endif

#endif
