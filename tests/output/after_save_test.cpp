// tests/output/after_save_test.cpp
// The after-save action through a recording stand-in of the shell and the mail program:
// the order (simple MAPI, then the mailto link, the folder and the notice), the 40-file
// limit and the texts. On Windows also the MAPI message itself, through a stand-in
// MAPISendMail, and the refusal of names outside the ANSI code page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/after_save.h"
#include "tests/test_text.h"

#ifdef _WIN32
#include <windows.h>

#include <mapi.h>
#endif

namespace {

struct System {
    std::vector<std::string> calls;
    bool mail_takes_it = true;
    int mail_files = 0;
};

void open_folder(void* context, const wchar_t* path) {
    static_cast<System*>(context)->calls.push_back("folder " + utf8(path));
}

bool send_mail(void* context, const wchar_t* const* files, int count, const wchar_t* subject, const wchar_t* body) {
    System* s = static_cast<System*>(context);
    s->calls.push_back("mapi " + std::to_string(count) + " " + utf8(files[0]) + " | " + utf8(subject) + " | " +
                       utf8(body));
    s->mail_files = count;
    return s->mail_takes_it;
}

void open_link(void* context, const wchar_t* url) {
    static_cast<System*>(context)->calls.push_back("link " + utf8(url));
}

void inform(void* context, int id) {
    static_cast<System*>(context)->calls.push_back("inform " + std::to_string(id));
}

std::vector<std::string> run(int action, int file_count, bool mail_takes_it) {
    System s;
    s.mail_takes_it = mail_takes_it;
    const AfterSaveSystem system = {&s, open_folder, send_mail, open_link, inform};
    std::vector<const wchar_t*> files(60, L"C:\\Out\\a.pdf");
    after_save_run(action, L"C:\\Out\\a.pdf", files.data(), file_count, L"Scanned document - Zan Group Scanner",
                   L"Attached.", &system);
    if (s.mail_files > AFTER_SAVE_MAIL_FILE_LIMIT) s.calls.push_back("too many files");
    return s.calls;
}

}  // namespace

TEST(AfterSave, NothingOrTheFolder) {
    EXPECT_TRUE(run(AFTER_SAVE_NOTHING, 1, true).empty());
    EXPECT_TRUE(run(7, 1, true).empty());
    EXPECT_EQ(run(AFTER_SAVE_OPEN_FOLDER, 1, true), std::vector<std::string>{"folder C:\\Out\\a.pdf"});
}

TEST(AfterSave, MailProgramFirst) {
    EXPECT_EQ(run(AFTER_SAVE_EMAIL, 3, true),
              std::vector<std::string>{"mapi 3 C:\\Out\\a.pdf | Scanned document - Zan Group Scanner | Attached."});
    const std::vector<std::string> many = run(AFTER_SAVE_EMAIL, 60, true);
    ASSERT_EQ(many.size(), 1u);
    EXPECT_EQ(many[0].substr(0, 8), "mapi 40 ");
}

TEST(AfterSave, FallbackIsLinkThenFolderThenNotice) {
    const std::vector<std::string> expected = {
        "link mailto:?subject=Scanned%20document%20%2D%20Zan%20Group%20Scanner", "folder C:\\Out\\a.pdf",
        "inform 175"};
    std::vector<std::string> refused = run(AFTER_SAVE_EMAIL, 2, false);
    ASSERT_EQ(refused.size(), 4u);
    EXPECT_EQ(refused[0].substr(0, 7), "mapi 2 ");
    refused.erase(refused.begin());
    EXPECT_EQ(refused, expected);
    // Nothing recorded as saved: no attachment to offer, straight to the link.
    EXPECT_EQ(run(AFTER_SAVE_EMAIL, 0, true), expected);
}

TEST(AfterSave, LinkAndExplorerTexts) {
    WideString s = {};
    after_save_mailto_link(L"\x0645\x0633\x062D \x00A0" L"a-1", &s);
    EXPECT_EQ(utf8(s), "mailto:?subject=%D9%85%D8%B3%D8%AD%20%C2%A0a%2D1");
    after_save_explorer_parameters(L"C:\\My Scans\\a b.pdf", &s);
    EXPECT_EQ(utf8(s), "/select,\"C:\\My Scans\\a b.pdf\"");
    release(&s);
}

#ifdef _WIN32
// ---- simple MAPI through a stand-in MAPISendMail

namespace {

struct MailSeen {
    int calls = 0;
    ULONG result = SUCCESS_SUCCESS;
    ULONG_PTR parent = 0;
    FLAGS flags = 0;
    std::string subject, note;
    std::vector<std::string> paths, names;
    std::vector<ULONG> positions;
    ULONG recipients = 99;
};
MailSeen g_mail;

ULONG FAR PASCAL fake_send(LHANDLE, ULONG_PTR parent, lpMapiMessage message, FLAGS flags, ULONG) {
    ++g_mail.calls;
    g_mail.parent = parent;
    g_mail.flags = flags;
    g_mail.subject = message->lpszSubject;
    g_mail.note = message->lpszNoteText;
    g_mail.recipients = message->nRecipCount;
    for (ULONG k = 0; k < message->nFileCount; ++k) {
        g_mail.paths.push_back(message->lpFiles[k].lpszPathName);
        g_mail.names.push_back(message->lpFiles[k].lpszFileName);
        g_mail.positions.push_back(message->lpFiles[k].nPosition);
    }
    return g_mail.result;
}

bool send(std::vector<const wchar_t*> files, ULONG result) {
    g_mail = MailSeen{};
    g_mail.result = result;
    return after_save_send_mapi(reinterpret_cast<void*>(fake_send), reinterpret_cast<HWND__*>(0x1234), files.data(),
                                (int)files.size(), L"Scanned document - Zan Group Scanner",
                                L"Attached: a document scanned with Zan Group Scanner.");
}

}  // namespace

TEST(AfterSaveMapi, TheMessageTheMailProgramGets) {
    ASSERT_TRUE(send({L"C:\\Out\\Report_001.jpg", L"C:\\Out\\Report_002.jpg"}, SUCCESS_SUCCESS));
    EXPECT_EQ(g_mail.calls, 1);
    EXPECT_EQ(g_mail.flags, (FLAGS)(MAPI_LOGON_UI | MAPI_DIALOG));
    EXPECT_EQ(g_mail.flags, 0x9u);
    EXPECT_EQ(g_mail.parent, (ULONG_PTR)0x1234);
    EXPECT_EQ(g_mail.recipients, 0u);
    EXPECT_EQ(g_mail.subject, "Scanned document - Zan Group Scanner");
    EXPECT_EQ(g_mail.note, "Attached: a document scanned with Zan Group Scanner.");
    EXPECT_EQ(g_mail.paths, (std::vector<std::string>{"C:\\Out\\Report_001.jpg", "C:\\Out\\Report_002.jpg"}));
    EXPECT_EQ(g_mail.names, (std::vector<std::string>{"Report_001.jpg", "Report_002.jpg"}));
    EXPECT_EQ(g_mail.positions, (std::vector<ULONG>{(ULONG)-1, (ULONG)-1}));
    // The user's cancel ends the action too; any other answer sends the fallback.
    EXPECT_TRUE(send({L"C:\\a.pdf"}, MAPI_USER_ABORT));
    EXPECT_FALSE(send({L"C:\\a.pdf"}, MAPI_E_FAILURE));
}

TEST(AfterSaveMapi, NamesOutsideTheAnsiCodePageUseTheLink) {
    // Arabic letters are outside the ANSI code page of this test system (Western).
    ASSERT_NE(GetACP(), 1256u);
    EXPECT_FALSE(send({L"C:\\Out\\a.pdf", L"C:\\Out\\\x0645\x0633\x062D.pdf"}, SUCCESS_SUCCESS));
    EXPECT_EQ(g_mail.calls, 0);
    // A best-fit look-alike is no exact equivalent either.
    EXPECT_FALSE(send({L"C:\\Out\\\x0100.pdf"}, SUCCESS_SUCCESS));
    EXPECT_EQ(g_mail.calls, 0);
}

TEST(AfterSaveMapi, AtMostFortyFiles) {
    std::vector<const wchar_t*> files(45, L"C:\\Out\\page.png");
    ASSERT_TRUE(send(files, SUCCESS_SUCCESS));
    EXPECT_EQ(g_mail.paths.size(), 40u);
}
#endif
