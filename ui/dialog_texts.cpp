// ui/dialog_texts.cpp
#include "ui/dialog_texts.h"

#include "app/deployment.h"
#include "app/strings.h"

namespace {

const wchar_t kHelpEnglishBody[] =
    L"How to use\r\n"
    L"1) Connect and switch on the scanner and install its driver (use \"Download drivers\" if needed).\r\n"
    L"2) Pick the device from the list. If it is missing press \"Refresh device list\" or \"Select from Windows\".\r\n"
    L"3) Choose colour mode, quality (DPI) and paper source (glass or automatic feeder) then press \"Scan\".\r\n"
    L"4) Pages appear in the strip below the preview: click one to preview it, drag to reorder, or use the rotate "
    L"and delete buttons.\r\n"
    L"5) Pick the format (PDF, JPG, PNG or TIFF) then press \"Save file\". Change the save folder with \"Choose "
    L"save folder\".\r\n"
    L"\r\n"
    L"If your scanner is not listed\r\n"
    L"- Press \"Driver diagnostics\": it lists the TWAIN drivers found on the PC and explains why one is not shown "
    L"(for example a 64-bit driver cannot be used by a 32-bit program).\r\n"
    L"- Press \"Select from Windows\" to choose the device from the Windows dialog (TWAIN or WIA).\r\n"
    L"- Turn on \"Show all WIA devices\" if your scanner works through WIA.\r\n"
    L"- Some devices need \"Show scanner driver screen\" to work.\r\n"
    L"- The log file can be opened from the diagnostics screen.\r\n"
    L"\r\n"
    L"Extra features (Advanced settings and Tools)\r\n"
    L"- Auto crop, deskew, remove blank pages.\r\n"
    L"- Searchable PDF (Arabic / English OCR) on Windows 10 or newer.\r\n"
    L"- PDF compression, watermark, password protection (never stored on disk).\r\n"
    L"- Automatic file naming, fixed save folder, one-click presets.\r\n"
    L"- Merge PDFs and images into one file, split a PDF.\r\n"
    L"- After saving: open the folder or send by email.\r\n"
    L"\r\n"
    L"Contact / service: ";

const wchar_t kHelpArabicBody[] =
    L"طريقة الاستخدام\r\n"
    L"1) وصّل الماسح الضوئي وشغّله وثبّت برنامج تشغيله (استخدم \"تنزيل برامج التشغيل\" عند الحاجة).\r\n"
    L"2) اختر الجهاز من القائمة. إذا لم يظهر فاضغط \"تحديث قائمة الأجهزة\" أو \"اختيار من Windows\".\r\n"
    L"3) اختر وضع الألوان والجودة (DPI) ومصدر الورق (الزجاج أو وحدة التغذية التلقائية) ثم اضغط \"مسح ضوئي\".\r\n"
    L"4) تظهر الصفحات في الشريط أسفل المعاينة: انقر صفحة لمعاينتها، واسحبها لتغيير ترتيبها، أو استخدم زرّي "
    L"التدوير والحذف.\r\n"
    L"5) اختر الصيغة (PDF أو JPG أو PNG أو TIFF) ثم اضغط \"حفظ الملف\". غيّر مجلد الحفظ من \"اختيار مجلد "
    L"الحفظ\".\r\n"
    L"\r\n"
    L"إذا لم يظهر الماسح الضوئي\r\n"
    L"- اضغط \"تشخيص برامج التشغيل\": يعرض برامج تشغيل TWAIN الموجودة على الجهاز ويشرح سبب عدم ظهور أي منها "
    L"(مثلًا لا يمكن لبرنامج 32 بت استخدام برنامج تشغيل 64 بت).\r\n"
    L"- اضغط \"اختيار من Windows\" لاختيار الجهاز من نافذة Windows (TWAIN أو WIA).\r\n"
    L"- فعّل \"إظهار جميع أجهزة WIA\" إذا كان الماسح يعمل عبر WIA.\r\n"
    L"- تحتاج بعض الأجهزة إلى \"إظهار شاشة برنامج تشغيل الماسح\" لتعمل.\r\n"
    L"- يمكن فتح ملف السجل من شاشة التشخيص.\r\n"
    L"\r\n"
    L"ميزات إضافية (الإعدادات المتقدمة والأدوات)\r\n"
    L"- القص التلقائي وتقويم الميل وحذف الصفحات الفارغة.\r\n"
    L"- ملف PDF قابل للبحث (تعرّف ضوئي عربي / إنجليزي) على Windows 10 أو أحدث.\r\n"
    L"- ضغط PDF وعلامة مائية وحماية بكلمة مرور (لا تُحفظ على القرص أبدًا).\r\n"
    L"- تسمية تلقائية للملفات ومجلد حفظ ثابت وإعدادات مسبقة بنقرة واحدة.\r\n"
    L"- دمج ملفات PDF والصور في ملف واحد، وتقسيم ملف PDF.\r\n"
    L"- بعد الحفظ: فتح المجلد أو الإرسال بالبريد الإلكتروني.\r\n"
    L"\r\n"
    L"التواصل / الدعم:\r\n";

const int kHelpCapacity = 4096;

// Builds "body + phone + '  ·  ' + web address" once per language. In the Arabic text the
// phone number and the address follow the label on a line of their own that is one
// left-to-right embedding (LRE ... PDF), so their digits, '+' and dots keep their order.
const wchar_t* help_with_contact(const wchar_t* body, bool arabic, wchar_t* buffer) {
    if (buffer[0]) return buffer;
    int n = 0;
    const wchar_t* open = arabic ? L"\u202A" : L"";
    const wchar_t* close = arabic ? L"\u202C" : L"";
    const wchar_t* parts[] = {body, open, kServicePhone, L"  \u00B7  ", kServiceWebAddress, close};
    for (const wchar_t* part : parts) {
        for (const wchar_t* p = part; *p && n < kHelpCapacity - 1; ++p) buffer[n++] = *p;
    }
    buffer[n] = 0;
    return buffer;
}

}  // namespace

const wchar_t* confirm_title_text() {
    return interface_language() == LANGUAGE_ARABIC ? L"تأكيد" : L"Confirm";
}

const wchar_t* yes_text_in(int language) {
    return language == LANGUAGE_ARABIC ? L"نعم" : L"Yes";
}

const wchar_t* no_text_in(int language) {
    return language == LANGUAGE_ARABIC ? L"لا" : L"No";
}


const wchar_t* help_text() {
    static wchar_t arabic[kHelpCapacity];
    static wchar_t english[kHelpCapacity];
    return interface_language() == LANGUAGE_ARABIC ? help_with_contact(kHelpArabicBody, true, arabic)
                                                   : help_with_contact(kHelpEnglishBody, false, english);
}
