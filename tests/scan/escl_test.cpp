// tests/scan/escl_test.cpp
// The portable eSCL rules: reading capabilities and status documents (with their limits),
// the scan request built from the settings, addresses and the failure ids.
#include "scan/escl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/test_text.h"

namespace {

// A copier's capabilities as copiers write them: prefixes, a comment, entities, a
// feeder with duplex, a brightness range and no contrast.
const char* const kCaps = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- a comment <with> tags -->
<scan:ScannerCapabilities xmlns:scan="http://schemas.hp.com/imaging/escl/2011/05/03" xmlns:pwg="http://www.pwg.org/schemas/2010/12/sm">
  <pwg:Version>2.63</pwg:Version>
  <pwg:MakeAndModel> Zan &amp; Co MFP 5000 </pwg:MakeAndModel>
  <scan:UUID>urn:uuid:4509A320-00A0-008F</scan:UUID>
  <scan:Platen><scan:PlatenInputCaps>
    <scan:MaxWidth>2550</scan:MaxWidth><scan:MaxHeight>3508</scan:MaxHeight>
    <scan:SettingProfiles><scan:SettingProfile>
      <scan:ColorModes><scan:ColorMode>RGB24</scan:ColorMode><scan:ColorMode>Grayscale8</scan:ColorMode></scan:ColorModes>
      <scan:DocumentFormats><pwg:DocumentFormat>image/jpeg</pwg:DocumentFormat></scan:DocumentFormats>
      <scan:SupportedResolutions><scan:DiscreteResolutions>
        <scan:DiscreteResolution><scan:XResolution>300</scan:XResolution><scan:YResolution>300</scan:YResolution></scan:DiscreteResolution>
        <scan:DiscreteResolution><scan:XResolution>200</scan:XResolution><scan:YResolution>200</scan:YResolution></scan:DiscreteResolution>
        <scan:DiscreteResolution><scan:XResolution>600</scan:XResolution><scan:YResolution>600</scan:YResolution></scan:DiscreteResolution>
      </scan:DiscreteResolutions></scan:SupportedResolutions>
    </scan:SettingProfile></scan:SettingProfiles>
  </scan:PlatenInputCaps></scan:Platen>
  <scan:Adf>
    <scan:AdfSimplexInputCaps><scan:MaxWidth>2550</scan:MaxWidth><scan:MaxHeight>4200</scan:MaxHeight>
      <scan:SettingProfiles><scan:SettingProfile>
        <scan:ColorModes><scan:ColorMode>BlackAndWhite1</scan:ColorMode></scan:ColorModes>
        <scan:SupportedResolutions><scan:ResolutionRange><scan:XResolutionRange><scan:Min>75</scan:Min><scan:Max>400</scan:Max></scan:XResolutionRange></scan:ResolutionRange></scan:SupportedResolutions>
      </scan:SettingProfile></scan:SettingProfiles>
    </scan:AdfSimplexInputCaps>
    <scan:AdfOptions><scan:AdfOption>DetectPaperLoaded</scan:AdfOption><scan:AdfOption>Duplex</scan:AdfOption></scan:AdfOptions>
  </scan:Adf>
  <scan:BrightnessSupport><scan:Min>0</scan:Min><scan:Max>1000</scan:Max><scan:Normal>500</scan:Normal></scan:BrightnessSupport>
</scan:ScannerCapabilities>)";

struct Caps {
    EsclCapabilities caps = {};
    bool ok = false;
    explicit Caps(const std::string& xml) { ok = escl_parse_capabilities(xml.data(), xml.size(), &caps); }
    ~Caps() { escl_capabilities_release(&caps); }
};

ScanSettings settings(int source, int mode = 0, int dpi = 300, int paper = 0) {
    ScanSettings s = {};
    s.Source = source;
    s.ColorMode = mode;
    s.Dpi = dpi;
    s.Paper = paper;
    return s;
}

// The text of a new string, which is freed.
std::string take(WideString s) {
    const std::string text = utf8(s);
    release(&s);
    return text;
}

std::string job_xml(const EsclJobPlan& plan) {
    ByteBuffer b = {};
    EXPECT_TRUE(escl_job_xml(plan, &b));
    std::string s(reinterpret_cast<const char*>(b.data), (size_t)b.length);
    release(&b);
    return s;
}

std::string nested(int depth) {
    std::string s = "<scan:ScannerCapabilities>";
    for (int i = 1; i < depth; ++i) s += "<a>";
    for (int i = 1; i < depth; ++i) s += "</a>";
    return s + "</scan:ScannerCapabilities>";
}

}  // namespace

TEST(EsclCapabilities, ReadsNamesSourcesModesResolutionsAndRanges) {
    Caps c(kCaps);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(utf8(c.caps.make_and_model), "Zan & Co MFP 5000");
    EXPECT_EQ(utf8(c.caps.uuid), "urn:uuid:4509A320-00A0-008F");
    const EsclInputCaps& platen = c.caps.inputs[ESCL_INPUT_PLATEN];
    EXPECT_TRUE(platen.present);
    EXPECT_EQ(platen.max_width, 2550);
    EXPECT_EQ(platen.max_height, 3508);
    EXPECT_EQ(platen.color_modes, ESCL_COLOR_RGB24 | ESCL_COLOR_GRAYSCALE8);
    EXPECT_TRUE(platen.jpeg);
    ASSERT_EQ(platen.resolution_count, 3);
    EXPECT_EQ(platen.resolutions[1], 200);
    const EsclInputCaps& feeder = c.caps.inputs[ESCL_INPUT_FEEDER];
    EXPECT_TRUE(feeder.present);
    EXPECT_EQ(feeder.range_min, 75);
    EXPECT_EQ(feeder.range_max, 400);
    EXPECT_FALSE(c.caps.inputs[ESCL_INPUT_FEEDER_DUPLEX].present);
    EXPECT_TRUE(c.caps.adf_duplex);
    EXPECT_TRUE(c.caps.brightness.present);
    EXPECT_EQ(c.caps.brightness.max, 1000);
    EXPECT_FALSE(c.caps.contrast.present);
}

TEST(EsclCapabilities, RefusesWhatIsNotACapabilitiesDocumentOrBreaksTheLimits) {
    EXPECT_FALSE(Caps("<scan:ScannerStatus></scan:ScannerStatus>").ok);
    EXPECT_FALSE(Caps("<scan:ScannerCapabilities><a></b></scan:ScannerCapabilities>").ok);
    EXPECT_FALSE(Caps("<scan:ScannerCapabilities><a>").ok);
    EXPECT_FALSE(Caps("<scan:ScannerCapabilities/><scan:ScannerCapabilities/>").ok);
    EXPECT_FALSE(Caps("").ok);
    EXPECT_FALSE(Caps("<!-- never closed").ok);
    EXPECT_TRUE(Caps(nested(ESCL_MAX_XML_DEPTH)).ok);
    EXPECT_FALSE(Caps(nested(ESCL_MAX_XML_DEPTH + 1)).ok);
    std::string many = "<scan:ScannerCapabilities>";
    for (int i = 0; i < ESCL_MAX_XML_ELEMENTS; ++i) many += "<a/>";
    EXPECT_FALSE(Caps(many + "</scan:ScannerCapabilities>").ok);
    std::string huge = "<scan:ScannerCapabilities>" + std::string(ESCL_MAX_XML_BYTES, ' ') + "</scan:ScannerCapabilities>";
    EXPECT_FALSE(Caps(huge).ok);
}

TEST(EsclCapabilities, KeepsListsAndTextsWithinTheirBounds) {
    std::string xml = "<scan:ScannerCapabilities><pwg:MakeAndModel>" + std::string(5000, 'M') +
                      "</pwg:MakeAndModel><scan:PlatenInputCaps><scan:DiscreteResolutions>";
    for (int r = 1; r <= 100; ++r) {
        xml += "<scan:DiscreteResolution><scan:XResolution>" + std::to_string(r * 10) +
               "</scan:XResolution></scan:DiscreteResolution>";
    }
    xml += "<scan:DiscreteResolution><scan:XResolution>99999999999</scan:XResolution></scan:DiscreteResolution>";
    xml += "</scan:DiscreteResolutions><scan:MaxWidth>-5</scan:MaxWidth></scan:PlatenInputCaps></scan:ScannerCapabilities>";
    Caps c(xml);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.caps.make_and_model.length, ESCL_MAX_XML_TEXT);
    EXPECT_EQ(c.caps.inputs[0].resolution_count, ESCL_MAX_RESOLUTIONS);
    EXPECT_EQ(c.caps.inputs[0].max_width, 0);
}

TEST(EsclJob, FeederDuplexWhenAdvertisedNearestModeAndResolutionRegionCutToTheSource) {
    Caps c(kCaps);
    ASSERT_TRUE(c.ok);
    // Two-sided colour A3 at 500 dpi on the feeder: duplex advertised, colour not offered
    // there (black and white only), 500 clamped to the range, A3 cut to 2550 x 4200.
    ScanSettings s = settings(2, 0, 500, 1);
    s.Brightness = 50;
    s.Contrast = 20;
    EsclJobPlan plan = escl_plan_job(c.caps, s);
    EXPECT_EQ(plan.input, ESCL_INPUT_FEEDER);
    EXPECT_TRUE(plan.duplex);
    EXPECT_EQ(plan.color_mode, ESCL_COLOR_BLACKANDWHITE1);
    EXPECT_EQ(plan.resolution, 400);
    EXPECT_EQ(plan.width, 2550);
    EXPECT_EQ(plan.height, 4200);
    EXPECT_TRUE(plan.send_brightness);
    EXPECT_EQ(plan.brightness, 750);
    EXPECT_FALSE(plan.send_contrast);
    const std::string xml = job_xml(plan);
    EXPECT_NE(xml.find("<pwg:InputSource>Feeder</pwg:InputSource>"), std::string::npos);
    EXPECT_NE(xml.find("<scan:Duplex>true</scan:Duplex>"), std::string::npos);
    EXPECT_NE(xml.find("<scan:ColorMode>BlackAndWhite1</scan:ColorMode>"), std::string::npos);
    EXPECT_NE(xml.find("<scan:XResolution>400</scan:XResolution>"), std::string::npos);
    EXPECT_NE(xml.find("<pwg:ContentRegionUnits>escl:ThreeHundredthsOfInches</pwg:ContentRegionUnits>"),
              std::string::npos);
    EXPECT_NE(xml.find("<pwg:Height>4200</pwg:Height>"), std::string::npos);
    EXPECT_NE(xml.find("<scan:Brightness>750</scan:Brightness>"), std::string::npos);
    EXPECT_EQ(xml.find("Contrast"), std::string::npos);
    EXPECT_NE(xml.find("<scan:DocumentFormatExt>image/jpeg</scan:DocumentFormatExt>"), std::string::npos);
}

TEST(EsclJob, PlatenTakesTheNearestListedResolutionTiesToTheLower) {
    Caps c(kCaps);
    ASSERT_TRUE(c.ok);
    EsclJobPlan plan = escl_plan_job(c.caps, settings(0, 1, 250, 4));
    EXPECT_EQ(plan.input, ESCL_INPUT_PLATEN);
    EXPECT_FALSE(plan.duplex);
    EXPECT_EQ(plan.color_mode, ESCL_COLOR_GRAYSCALE8);
    EXPECT_EQ(plan.resolution, 200);
    EXPECT_EQ(plan.width, 2550);
    EXPECT_EQ(plan.height, 3300);
    EXPECT_FALSE(plan.send_brightness);   // brightness 0 leaves the copier's value
    const std::string xml = job_xml(plan);
    EXPECT_NE(xml.find("<pwg:InputSource>Platen</pwg:InputSource>"), std::string::npos);
    EXPECT_EQ(xml.find("Duplex"), std::string::npos);
    // Black and white on a platen without it: the nearest offered mode.
    EXPECT_EQ(escl_plan_job(c.caps, settings(0, 2)).color_mode, ESCL_COLOR_GRAYSCALE8);
}

TEST(EsclJob, AMissingSourceFallsBackToTheOtherAndDuplexNeedsTheCopiersWord) {
    Caps platen_only("<scan:ScannerCapabilities><scan:PlatenInputCaps/></scan:ScannerCapabilities>");
    ASSERT_TRUE(platen_only.ok);
    EsclJobPlan plan = escl_plan_job(platen_only.caps, settings(2));
    EXPECT_EQ(plan.input, ESCL_INPUT_PLATEN);
    EXPECT_FALSE(plan.duplex);
    Caps simplex("<scan:ScannerCapabilities><scan:AdfSimplexInputCaps/></scan:ScannerCapabilities>");
    ASSERT_TRUE(simplex.ok);
    plan = escl_plan_job(simplex.caps, settings(2, 0, 300, 3));
    EXPECT_EQ(plan.input, ESCL_INPUT_FEEDER);
    EXPECT_FALSE(plan.duplex);
    EXPECT_EQ(plan.resolution, 300);   // nothing listed: as asked
    EXPECT_EQ(plan.height, 4200);      // Legal, nothing to cut to
    EXPECT_EQ(escl_plan_job(simplex.caps, settings(0)).input, ESCL_INPUT_FEEDER);
}

TEST(EsclStatus, ReadsTheStatesAndTheWantedJob) {
    const std::string xml =
        "<scan:ScannerStatus><pwg:Version>2.0</pwg:Version><pwg:State>Idle</pwg:State>"
        "<scan:AdfState>ScannerAdfJam</scan:AdfState><scan:Jobs>"
        "<scan:JobInfo><pwg:JobUri>/eSCL/ScanJobs/1</pwg:JobUri><pwg:JobState>Completed</pwg:JobState></scan:JobInfo>"
        "<scan:JobInfo><pwg:JobState>Aborted</pwg:JobState><pwg:JobUri>/eSCL/ScanJobs/2</pwg:JobUri>"
        "<pwg:JobStateReasons><pwg:JobStateReason>JobCanceledBySystem</pwg:JobStateReason></pwg:JobStateReasons>"
        "</scan:JobInfo></scan:Jobs></scan:ScannerStatus>";
    EsclStatus st = {};
    ASSERT_TRUE(escl_parse_status(xml.data(), xml.size(), L"/eSCL/ScanJobs/2", &st));
    EXPECT_STREQ(st.state, "Idle");
    EXPECT_STREQ(st.adf_state, "ScannerAdfJam");
    EXPECT_STREQ(st.job_state, "Aborted");
    EXPECT_STREQ(st.job_reason, "JobCanceledBySystem");
    ASSERT_TRUE(escl_parse_status(xml.data(), xml.size(), L"/eSCL/ScanJobs/1", &st));
    EXPECT_STREQ(st.job_state, "Completed");
    ASSERT_TRUE(escl_parse_status(xml.data(), xml.size(), nullptr, &st));
    EXPECT_STREQ(st.job_state, "");
    EXPECT_FALSE(escl_parse_status(kCaps, std::string(kCaps).size(), nullptr, &st));
}

TEST(EsclFailures, StatusAndHttpAnswersMapToTheirTexts) {
    EsclStatus st = {};
    EXPECT_EQ(escl_failure_id(401, nullptr), ESCL_TEXT_UNAUTHORISED);
    EXPECT_EQ(escl_failure_id(403, &st), ESCL_TEXT_UNAUTHORISED);
    EXPECT_EQ(escl_failure_id(503, &st), 158);
    EXPECT_EQ(escl_failure_id(500, &st), ESCL_TEXT_HTTP_ERROR);
    std::snprintf(st.adf_state, sizeof(st.adf_state), "ScannerAdfEmpty");
    EXPECT_EQ(escl_failure_id(409, &st), 168);
    std::snprintf(st.adf_state, sizeof(st.adf_state), "ScannerAdfJam");
    EXPECT_EQ(escl_failure_id(0, &st), 154);
    std::snprintf(st.adf_state, sizeof(st.adf_state), "ScannerAdfMultipickDetected");
    EXPECT_EQ(escl_failure_id(0, &st), 155);
    std::snprintf(st.adf_state, sizeof(st.adf_state), "ScannerAdfDoorOpen");
    EXPECT_EQ(escl_failure_id(0, &st), 157);
    st = EsclStatus{};
    std::snprintf(st.state, sizeof(st.state), "Down");
    EXPECT_EQ(escl_failure_id(500, &st), 156);
}

TEST(EsclAddress, ParsesHostsPortsAndUrlsAndRefusesTheRest) {
    EsclAddress a = {};
    ASSERT_TRUE(escl_parse_address(L"192.168.1.20", &a));
    EXPECT_FALSE(a.https);
    EXPECT_EQ(a.port, 80);
    EXPECT_EQ(utf8(a.root), "/eSCL");
    EXPECT_EQ(take(escl_address_label(a)), "192.168.1.20");
    escl_address_release(&a);
    ASSERT_TRUE(escl_parse_address(L"copier-3.office:8080", &a));
    EXPECT_EQ(take(escl_address_url(a)), "http://copier-3.office:8080/eSCL");
    EXPECT_EQ(take(escl_address_label(a)), "copier-3.office:8080");
    escl_address_release(&a);
    ASSERT_TRUE(escl_parse_address(L"HTTPS://[fe80::1]/scan/", &a));
    EXPECT_TRUE(a.https);
    EXPECT_EQ(a.port, 443);
    EXPECT_EQ(utf8(a.host), "[fe80::1]");
    EXPECT_EQ(take(escl_address_url(a)), "https://[fe80::1]:443/scan");
    escl_address_release(&a);
    for (const wchar_t* bad : {L"", L"host name", L":80", L"host:0", L"host:65536", L"host:", L"http://", L"a/b c",
                               L"[fe80::1", L"host?x", L"h\r\nX: y"}) {
        SCOPED_TRACE(utf8(bad));
        EXPECT_FALSE(escl_parse_address(bad, &a));
    }
}

TEST(EsclAddress, AJobLocationNeverLeadsToAnotherHost) {
    EXPECT_EQ(take(escl_location_path("http://192.0.2.9:9/eSCL/ScanJobs/7")), "/eSCL/ScanJobs/7");
    EXPECT_EQ(take(escl_location_path(" /eSCL/ScanJobs/abc/ ")), "/eSCL/ScanJobs/abc");
    EXPECT_EQ(take(escl_location_path("ScanJobs/3")), "ScanJobs/3");
    EXPECT_EQ(take(escl_location_path("https://copier")), "");
    EXPECT_EQ(take(escl_location_path("/eSCL/Scan Jobs/1")), "");
    EXPECT_EQ(take(escl_location_path(nullptr)), "");
}

TEST(EsclPaper, SizesInThreeHundredthsOfAnInch) {
    int w = 0, h = 0;
    escl_paper_size(0, &w, &h);
    EXPECT_EQ(w, 2480);
    EXPECT_EQ(h, 3508);
    escl_paper_size(2, &w, &h);
    EXPECT_EQ(w, 1748);
    EXPECT_EQ(h, 2480);
    escl_paper_size(9, &w, &h);
    EXPECT_EQ(w, 2480);
}
