// tests/net/net_stand_ins.h
// Recording stand-ins for the Windows services of the network tools. Each records every
// call as one line of text, in order, and answers from its scripted state, so a test
// asserts the exact steps a tool took.
#ifndef ZAN_TESTS_NET_NET_STAND_INS_H
#define ZAN_TESTS_NET_NET_STAND_INS_H

#include <map>
#include <string>
#include <vector>

#include "app/strings.h"
#include "core/text.h"
#include "net/elevation.h"
#include "net/firewall.h"
#include "net/net_report.h"
#include "net/share_setup.h"

inline std::string narrow(const wchar_t* text) {
    std::string s;
    for (const wchar_t* p = text; p && *p; ++p) s += *p < 128 ? (char)*p : '?';
    return s;
}

// "id:213", "id:217(80)", "fixed:text", "system:5", "blank" per line.
inline std::vector<std::string> report_lines(const NetReport& r) {
    std::vector<std::string> out;
    for (int i = 0; i < r.count; ++i) {
        const NetLine& l = r.lines[i];
        std::string s;
        if (l.kind == NET_LINE_TEXT_ID) {
            s = "id:" + std::to_string(l.id);
            if (l.arg_count) {
                s += "(";
                for (int a = 0; a < l.arg_count; ++a) s += (a ? "," : "") + narrow(text_of(l.args[a]));
                s += ")";
            }
        } else if (l.kind == NET_LINE_FIXED) {
            s = "fixed:" + narrow(text_of(l.args[0]));
        } else if (l.kind == NET_LINE_SYSTEM_ERROR) {
            s = (l.arg_count ? "fixed:" + narrow(text_of(l.args[0])) : std::string()) + "system:" + std::to_string(l.code);
        } else {
            s = "blank";
        }
        if (l.suffix.length) s += narrow(text_of(l.suffix));
        out.push_back(s);
    }
    return out;
}

// ---- administrator test, UAC launch, hidden console programs
struct FakeElevation {
    bool admin = true;
    std::vector<std::string> calls;
    // The answer of each netsh run in order (0 once the list is used up).
    std::vector<unsigned> netsh_codes;
    std::string netsh_output;
    // What the "elevated instance" does with its parameters; returns the exit code.
    unsigned (*elevated)(FakeElevation* self, const wchar_t* parameters) = nullptr;
    void* elevated_context = nullptr;
    ElevationSystem system() {
        return {this, [](void* c) { return static_cast<FakeElevation*>(c)->admin; },
                [](void* c, const wchar_t* parameters) -> unsigned {
                    FakeElevation* self = static_cast<FakeElevation*>(c);
                    self->calls.push_back("runas " + narrow(parameters));
                    return self->elevated ? self->elevated(self, parameters) : ELEVATION_CANCELLED;
                },
                [](void* c, const wchar_t* program, const wchar_t* arguments, WideString* output, unsigned limit) -> unsigned {
                    FakeElevation* self = static_cast<FakeElevation*>(c);
                    std::string p = narrow(program);
                    self->calls.push_back("run " + p.substr(p.rfind('\\') + 1) + " " + narrow(arguments) + " limit=" +
                                          std::to_string(limit) + (output ? " captured" : ""));
                    if (output) {
                        std::wstring w(self->netsh_output.begin(), self->netsh_output.end());
                        assign(output, w.c_str());
                    }
                    if (self->netsh_codes.empty()) return 0;
                    const unsigned code = self->netsh_codes.front();
                    self->netsh_codes.erase(self->netsh_codes.begin());
                    return code;
                }};
    }
};

// ---- firewall policy object and saved mask
struct FakeFirewall {
    int states[3] = {1, 1, 1};
    long open_result = 0;
    int open_failures = 0;           // the first N opens fail with open_result
    long read_result[3] = {0, 0, 0};
    long write_result[3] = {0, 0, 0};
    bool writes_stick = true;        // false: a policy turns each write back
    bool netsh_applies = true;       // a netsh "state off/on" changes the states
    bool has_mask = false;
    unsigned mask = 0;
    unsigned save_result = 0;
    std::vector<std::string> calls;
    static int index(int bit) { return bit == 1 ? 0 : bit == 2 ? 1 : 2; }
    FirewallSystem system() {
        return {this,
                [](void* c) -> long {
                    FakeFirewall* f = static_cast<FakeFirewall*>(c);
                    f->calls.push_back("open");
                    if (f->open_failures > 0) {
                        --f->open_failures;
                        return f->open_result;
                    }
                    return 0;
                },
                [](void* c, int bit, bool* enabled) -> long {
                    FakeFirewall* f = static_cast<FakeFirewall*>(c);
                    f->calls.push_back("read " + std::to_string(bit));
                    *enabled = f->states[index(bit)] == 1;
                    return f->read_result[index(bit)];
                },
                [](void* c, int bit, bool enabled) -> long {
                    FakeFirewall* f = static_cast<FakeFirewall*>(c);
                    f->calls.push_back("write " + std::to_string(bit) + (enabled ? " on" : " off"));
                    if (f->write_result[index(bit)] >= 0 && f->writes_stick) f->states[index(bit)] = enabled ? 1 : 0;
                    return f->write_result[index(bit)];
                },
                [](void* c) { static_cast<FakeFirewall*>(c)->calls.push_back("close"); },
                [](void* c, unsigned mask) -> unsigned {
                    FakeFirewall* f = static_cast<FakeFirewall*>(c);
                    f->calls.push_back("save " + std::to_string(mask));
                    if (f->save_result == 0) {
                        f->has_mask = true;
                        f->mask = mask;
                    }
                    return f->save_result;
                },
                [](void* c, unsigned* mask) -> bool {
                    FakeFirewall* f = static_cast<FakeFirewall*>(c);
                    f->calls.push_back("load");
                    *mask = f->mask;
                    return f->has_mask;
                }};
    }
};

// ---- netapi32, the ACLs and the folder of the share setup
struct FakeShare {
    bool loads = true;
    bool folder = false;
    unsigned folder_error = 0;
    unsigned user_state = 2221;               // NetUserGetInfo's answer
    std::wstring user_comment = kScanAccountComment;
    unsigned add_result = 0, password_result = 0, group_result = 0;
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> shares;   // name -> path, remark
    unsigned share_add_result = 0;
    bool share_add_applies = true;
    std::vector<uint32_t> random;               // numbers drawn in order
    std::vector<std::string> calls;
    ShareSystem system();
};

inline FakeShare* fake_share_of(void* c) { return static_cast<FakeShare*>(c); }

inline ShareSystem FakeShare::system() {
    ShareSystem s = {};
    s.context = this;
    s.load = [](void* c) { return fake_share_of(c)->loads; };
    s.ensure_folder = [](void* c, const wchar_t* f) -> unsigned {
        fake_share_of(c)->calls.push_back("ensure " + narrow(f));
        if (fake_share_of(c)->folder_error == 0) fake_share_of(c)->folder = true;
        return fake_share_of(c)->folder_error;
    };
    s.folder_exists = [](void* c, const wchar_t*) { return fake_share_of(c)->folder; };
    s.user_get = [](void* c, const wchar_t* n, WideString* comment) -> unsigned {
        fake_share_of(c)->calls.push_back("user_get " + narrow(n));
        assign(comment, fake_share_of(c)->user_comment.c_str());
        return fake_share_of(c)->user_state;
    };
    s.user_add = [](void* c, const wchar_t* n, const wchar_t* p, const wchar_t*) -> unsigned {
        fake_share_of(c)->calls.push_back("user_add " + narrow(n) + " " + narrow(p));
        return fake_share_of(c)->add_result;
    };
    s.user_set_password = [](void* c, const wchar_t* n, const wchar_t* p) -> unsigned {
        fake_share_of(c)->calls.push_back("user_set_password " + narrow(n) + " " + narrow(p));
        return fake_share_of(c)->password_result;
    };
    s.users_group_add = [](void* c, const wchar_t* n) -> unsigned {
        fake_share_of(c)->calls.push_back("users_group_add " + narrow(n));
        return fake_share_of(c)->group_result;
    };
    s.hide_account = [](void* c, const wchar_t* n) { fake_share_of(c)->calls.push_back("hide " + narrow(n)); };
    s.guest_enable = [](void* c) -> unsigned {
        fake_share_of(c)->calls.push_back("guest_enable");
        return 0;
    };
    s.everyone_registry = [](void* c) { fake_share_of(c)->calls.push_back("everyone_registry"); };
    s.networks_to_private = [](void* c) -> long {
        fake_share_of(c)->calls.push_back("networks_to_private");
        return 0;
    };
    s.account_sid = [](void* c, const wchar_t*, WideString* sid) {
        assign(sid, L"S-1-5-21-1-2-3-1001");
        fake_share_of(c)->calls.push_back("account_sid");
        return true;
    };
    s.set_folder_dacl = [](void* c, const wchar_t*, const wchar_t* sddl) -> unsigned {
        fake_share_of(c)->calls.push_back("dacl " + narrow(sddl));
        return 0;
    };
    s.share_add = [](void* c, const wchar_t* n, const wchar_t* f, const wchar_t*) -> unsigned {
        FakeShare* me = fake_share_of(c);
        me->calls.push_back("share_add " + narrow(n));
        if (me->shares.count(n)) return 2118;
        if (me->share_add_result) return me->share_add_result;
        if (me->share_add_applies) me->shares[n] = {f, kShareRemark};
        return 0;
    };
    s.share_get = [](void* c, const wchar_t* n, WideString* path, WideString* remark) -> unsigned {
        FakeShare* me = fake_share_of(c);
        auto it = me->shares.find(n);
        if (it == me->shares.end()) return 2310;
        assign(path, it->second.first.c_str());
        assign(remark, it->second.second.c_str());
        return 0;
    };
    s.share_set = [](void* c, const wchar_t* n, const wchar_t* f, const wchar_t*) -> unsigned {
        fake_share_of(c)->calls.push_back("share_set " + narrow(n));
        fake_share_of(c)->shares[n].first = f;
        return 0;
    };
    s.share_delete = [](void* c, const wchar_t* n) -> unsigned {
        fake_share_of(c)->calls.push_back("share_delete " + narrow(n));
        fake_share_of(c)->shares.erase(n);
        return 0;
    };
    s.computer_name = [](void*, WideString* n) { assign(n, L"OFFICE-PC"); };
    s.local_ip = [](void*, WideString* ip) { assign(ip, L"192.168.1.20"); };
    s.random_bytes = [](void* c, void* bytes, int count) -> bool {
        FakeShare* me = fake_share_of(c);
        if (me->random.empty() || count != 4) return false;
        const uint32_t v = me->random.front();
        me->random.erase(me->random.begin());
        *static_cast<uint32_t*>(bytes) = v;
        return true;
    };
    return s;
}

#endif
