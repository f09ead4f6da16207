// net/net_dialog_logic.h
// What the network tool dialogs decide, apart from their windows: which text a finished
// check shows, what follows a firewall action, the wizard's input rules, how a share
// result is settled and worded, the watch's status and whether the saved setup is shown.
// Every text is made here in the language asked for; the dialogs only place it.
#ifndef ZAN_NET_NET_DIALOG_LOGIC_H
#define ZAN_NET_NET_DIALOG_LOGIC_H

#include "core/wide_string.h"
#include "net/connection_check.h"
#include "net/firewall.h"
#include "net/folder_watch.h"
#include "net/scan_folder.h"
#include "net/share_setup.h"

// ---- machine connection check
// The results of a finished check: its report when the address was valid and the report
// is not empty, otherwise the request for a valid address (id 219).
void connection_results_text(const ConnectionCheckResult& result, int language, WideString* out);

// ---- firewall
enum NetMessageKind { NET_MESSAGE_NONE, NET_MESSAGE_INFORMATION, NET_MESSAGE_WARNING };
struct NetMessage {
    NetMessageKind kind;
    WideString text;
};
// Lock or Restore after the confirmation was answered: a declined one gives the
// cancellation report, a confirmed one runs the change (in-process for an administrator,
// else elevated). True when the wanted state was reached.
bool firewall_dialog_action(FirewallAction action, bool confirmed, const FirewallSystem* fw, const ElevationSystem* el,
                            NetReport* report);
// The box that follows: success (id 230 lock, 231 restore), failure with the details
// (id 232, CR LF, the report), or none for a failure without a report.
void firewall_outcome_message(FirewallAction action, bool ok, const NetReport& report, int language, NetMessage* out);
void net_message_release(NetMessage* message);
// The status view's text.
void firewall_status_view(const FirewallSystem* fw, int language, WideString* out);

// ---- Scan-to-Folder wizard
// 0 when the wizard may start the setup, else the id of the warning: 267 (location not
// "X:" followed by more, share name empty or with other than ASCII letters, digits, '-'
// and '_'), 275 (a dedicated-mode password with other than digits).
int wizard_input_problem(const wchar_t* location, const wchar_t* share, bool everyone, const wchar_t* password);
// The location joined with "ZanGroup Scans".
WideString wizard_full_folder(const wchar_t* location);
// Id 271, CR LF, id 278, a blank and the full folder.
void wizard_preview_text(const wchar_t* location, int language, WideString* out);
// The dialog's own check of a result: success is kept only when the folder exists and the
// share still points at it (else error 3, or 53 with id 279 added to the report); errors
// 3 and 53 get their explanation line (ids 269, 279).
void wizard_settle_result(ShareSetupResult* result, const ShareSystem* sys);
// Windows refused the password by its policy (86, 1325, 2203, 2244, 2245, 2246, 2704).
bool password_rejected_by_policy(unsigned error);
// The explanation of a failed setup: for a policy refusal id 274 and a blank line first;
// then id 247, the error and CR LF, the report, and id 266 after error 740.
void wizard_failure_explanation(const ShareSetupResult& result, int language, WideString* out);
// Id 246, CR LF, id 278, a blank and the folder.
void wizard_success_status(const wchar_t* folder, int language, WideString* out);
// The status after a watch ended: 260 stopped, 261 and the name, 262 timed out, the text
// of an error.
void wizard_watch_status(const FolderWatchResult& result, int language, WideString* out);
// The wizard opens with the saved setup when it is marked ready, has a folder and a share,
// the folder exists and the share still points at it.
bool wizard_entry_shows_saved(const SavedScanFolder& saved, const ShareSystem* sys);

// ---- the text views
// What a read-only text view shows for `text`. In Arabic each sentence line becomes a
// right-to-left embedding (RLE ... PDF), so its full stop and leading numbers keep their
// places whatever paragraph direction the edit control assumes. A line carrying a Latin
// value (its left-to-right mark, see append_labelled_value) stays as it is: an embedding
// around it makes some edit controls (Wine's) break the value apart, while the mark alone
// keeps the value as typed in either paragraph direction.
WideString net_view_text(const wchar_t* text, int language);

#endif
