// The driver's and main's part in mending PAPPL's queue (job_order.cpp)
// and log (spool_and_log.cpp).
#ifndef QUILLET_PRINTER_APP_JOB_ORDER_H
#define QUILLET_PRINTER_APP_JOB_ORDER_H

#include <pappl/pappl.h>

namespace quillet_app {

// A job begins writing to `device` (from its job thread): a Cancel-Job can
// then shut the device's connection down if the job does not stop.
void JobDeviceStarted(pappl_job_t *job, pappl_device_t *device);
// The job's device connection broke: PAPPL closes it after this job, and
// the next job opens a new one.
void DropDeviceAfter(pappl_job_t *job);

// The job this thread runs for PAPPL, or null outside a job thread.
pappl_job_t *JobOfThisThread();

// The log file named on the command line ("-" and "syslog" are none): the
// program rotates it, not PAPPL (spool_and_log.cpp). Before the system is
// created.
void SetLogFile(const char *path);

}  // namespace quillet_app

#endif
