#include "cups_trabajos.h"

#include <cups/cups.h>

namespace printing {

namespace {

// Every job of every queue, finished ones included; the caller frees them.
int allJobs(cups_job_t** jobs) {
    return cupsGetJobs2(CUPS_HTTP_DEFAULT, jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
}

}  // namespace

PrinterSystem::JobFate cupsJobFate(const QString& jobName) {
    cups_job_t* jobs = nullptr;
    const int count = allJobs(&jobs);
    if (count < 0) return PrinterSystem::JobFate::Unknown;
    const QByteArray name = jobName.toUtf8();
    auto fate = PrinterSystem::JobFate::Missing;
    for (int i = 0; i < count; ++i) {
        if (!jobs[i].title || name != jobs[i].title) continue;
        switch (jobs[i].state) {
            case IPP_JSTATE_COMPLETED:
                fate = PrinterSystem::JobFate::Done;
                break;
            case IPP_JSTATE_PENDING:
            case IPP_JSTATE_PROCESSING:
                if (fate != PrinterSystem::JobFate::Done) fate = PrinterSystem::JobFate::Waiting;
                break;
            default:  // held (never got its document), stopped, aborted, cancelled
                if (fate == PrinterSystem::JobFate::Missing) fate = PrinterSystem::JobFate::Unsent;
                break;
        }
    }
    cupsFreeJobs(count, jobs);
    return fate;
}

void cupsCancelJobs(const QString& jobName) {
    cups_job_t* jobs = nullptr;
    const int count = allJobs(&jobs);
    const QByteArray name = jobName.toUtf8();
    for (int i = 0; i < count; ++i) {
        if (!jobs[i].title || name != jobs[i].title || jobs[i].state >= IPP_JSTATE_CANCELED)
            continue;
        cupsCancelJob2(CUPS_HTTP_DEFAULT, jobs[i].dest, jobs[i].id, 0);
    }
    if (count > 0) cupsFreeJobs(count, jobs);
}

}  // namespace printing
