#pragma once

#include <QString>

#include "printing/print_device.h"

namespace printing {

/**
 * What CUPS knows of the jobs named `jobName` (their job-name), the newest first: done when
 * one completed, waiting when one is pending or processing, unsent when the only ones never
 * got their document or ended aborted or cancelled, missing when there is none.
 */
PrinterSystem::JobFate cupsJobFate(const QString& jobName);
/** Cancels every job named `jobName` that has not completed. */
void cupsCancelJobs(const QString& jobName);

}  // namespace printing
