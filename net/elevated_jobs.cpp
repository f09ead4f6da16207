// net/elevated_jobs.cpp
// The jobs of the elevated instance on the Windows services.
#include "net/elevated_jobs.h"

#include "net/firewall.h"
#include "net/share_setup.h"

int firewall_job_handle(const wchar_t* job_file) {
    return firewall_job_handle_with(job_file, firewall_system_windows(), elevation_system_windows());
}

int share_job_handle(const wchar_t* job_file) {
    return share_job_handle_with(job_file, share_system_windows(), elevation_system_windows());
}
