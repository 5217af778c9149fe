// The printer application's driver: the three models as PAPPL printers and
// the raster callbacks that run the filter's page road and command stream.
#ifndef QUILLET_PRINTER_APP_DRIVER_H
#define QUILLET_PRINTER_APP_DRIVER_H

#include <pappl/pappl.h>

#include "job_settings.h"
#include "models.h"

namespace quillet_app {

// One PAPPL driver per model, in the order of the model table.
pappl_pr_driver_t *Drivers();
int NumDrivers();

// Fills the driver data and attributes of the printer's model.
bool DriverCallback(pappl_system_t *system, const char *driverName, const char *deviceUri,
                    const char *deviceId, pappl_pr_driver_data_t *data, ipp_t **attrs,
                    void *context);

// Picks a driver for a device's IEEE 1284 device ID (auto-add).
const char *AutoAdd(const char *deviceInfo, const char *deviceUri, const char *deviceId,
                    void *context);

// The job settings of `model` for the job's options: standard attributes
// and the printer's own (`vendor`, as PAPPL hands them over), falling back
// to the printer's defaults in `printerAttrs` and then to the model's.
settings_ SettingsFor(const quillet::Model &model, const pappl_pr_options_t &options,
                      ipp_t *printerAttrs);

}  // namespace quillet_app

#endif
