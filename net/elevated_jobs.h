// net/elevated_jobs.h
// The jobs the elevated instance runs, one per process, each on a job file written by
// the interactive instance. The result is the process exit code.
#ifndef ZAN_NET_ELEVATED_JOBS_H
#define ZAN_NET_ELEVATED_JOBS_H

// "fwlock" and "fwrestore": the job file says which action.
int firewall_job_handle(const wchar_t* job_file);
// "share": the scan-to-folder share setup.
int share_job_handle(const wchar_t* job_file);

#endif
