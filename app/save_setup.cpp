// app/save_setup.cpp
#include "app/save_setup.h"

bool save_settings_of(const AppSettings& settings, SaveSettings* out) {
    SaveSettings view = {};
    view.format = settings.Format;
    view.compression = settings.Compression;
    view.ocr = settings.Ocr;
    view.ocr_lang = settings.OcrLang;
    view.watermark = settings.Watermark;
    view.watermark_opacity = settings.WatermarkOpacity;
    view.protect = settings.PdfPasswordOn;
    view.password = settings.PdfPassword;
    view.cipher = settings.PdfCipher;
    // view borrows the record's strings; the copy owns its own.
    return save_settings_copy(view, out);
}

SaveNamingRequest save_naming_request_of(const AppSettings& settings, int page_count) {
    SaveNamingRequest request = {};
    request.folder = text_of(settings.SaveDir);
    request.format = settings.Format;
    request.naming_mode = settings.NamingMode;
    request.prefix = text_of(settings.NamePrefix);
    request.counter = settings.Counter;
    request.fixed_folder = settings.FixedFolder;
    request.page_count = page_count;
    local_time_now(&request.now);
    return request;
}

void save_store_naming_result(AppSettings* settings, const SaveNamingResult& result) {
    settings->Counter = result.counter;
    if (result.folder.length > 0) assign(&settings->SaveDir, text_of(result.folder));
}
