// net/firewall.h
// Windows Firewall lock (all three profiles off, for a diagnosis) and restore (back to the
// profiles that were on before the lock). Each change goes through the firewall policy
// object, is read back, and falls back to netsh. The saved state is one registry value.
#ifndef ZAN_NET_FIREWALL_H
#define ZAN_NET_FIREWALL_H

#include "net/elevation.h"
#include "net/net_report.h"

// Profiles in the order every report lists them: Domain, Private, Public.
const int FIREWALL_PROFILES = 3;
extern const wchar_t* const kFirewallProfileNames[FIREWALL_PROFILES];   // "Domain", ...
extern const wchar_t* const kFirewallNetshNames[FIREWALL_PROFILES];     // "domain", ...

// Where the firewall meets Windows. Codes are HRESULTs for the policy object and
// registry (Win32) codes for the saved mask.
struct FirewallSystem {
    void* context;
    long (*open_policy)(void* context);
    long (*read_enabled)(void* context, int profile_bit, bool* enabled);
    long (*write_enabled)(void* context, int profile_bit, bool enabled);
    void (*close_policy)(void* context);
    // "FirewallBeforeLock" under HKLM\SOFTWARE\ZanGroup\Scanner.
    unsigned (*save_mask)(void* context, unsigned mask);
    // True when the value exists and is a REG_DWORD.
    bool (*load_mask)(void* context, unsigned* mask);
};
const FirewallSystem* firewall_system_windows();

enum FirewallAction { FIREWALL_RESTORE = 0, FIREWALL_LOCK = 1 };

// The three states: 1 on, 0 off, -1 unreadable. True only when all three were read.
bool firewall_read_states(const FirewallSystem* fw, int states[FIREWALL_PROFILES], NetReport* report);
// The change in this process (needs administrator rights). True when the wanted state
// was reached and read back.
bool firewall_change(FirewallAction action, const FirewallSystem* fw, const ElevationSystem* el, NetReport* report);
bool firewall_set_profiles(FirewallAction action, const int wanted[FIREWALL_PROFILES], const FirewallSystem* fw,
                           const ElevationSystem* el, NetReport* report);
bool firewall_verify(const int wanted[FIREWALL_PROFILES], const FirewallSystem* fw, NetReport* report);
// What the firewall dialog calls once the user confirmed: in-process for an
// administrator, else through the elevated instance (success is its exit code 0).
bool firewall_run_confirmed(FirewallAction action, const FirewallSystem* fw, const ElevationSystem* el,
                            NetReport* report);
// The report of a user who declined the confirmation.
void firewall_declined(NetReport* report);
// The dialog's status: the three profile lines and one summary id, or the reading report.
void firewall_status(const FirewallSystem* fw, NetReport* report);

// ---- the elevated exchange
// Launcher: writes the job, starts "--zan-admin=fwlock|fwrestore", reads the result.
unsigned firewall_job_run_elevated(FirewallAction action, const ElevationSystem* el, NetReport* report);
// Elevated side of a job file; the process exit code.
int firewall_job_handle_with(const wchar_t* job_file, const FirewallSystem* fw, const ElevationSystem* el);

#endif
