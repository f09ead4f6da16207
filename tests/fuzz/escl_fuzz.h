// tests/fuzz/escl_fuzz.h
// One fuzz input for the eSCL reader: the bytes as a capabilities document, then as a status
// document, then (when they read as capabilities) the request built from them for every
// source and colour mode, whose region must stay within the source's maximum. Shared by
// the libFuzzer target and the corpus replay test.
#ifndef ZAN_TESTS_FUZZ_ESCL_FUZZ_H
#define ZAN_TESTS_FUZZ_ESCL_FUZZ_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "scan/escl.h"

inline void escl_fuzz_one(const uint8_t* data, size_t size) {
    const char* xml = reinterpret_cast<const char*>(data);
    EsclCapabilities caps = {};
    if (escl_parse_capabilities(xml, size, &caps)) {
        for (int source = 0; source < 3; ++source) {
            for (int mode = 0; mode < 3; ++mode) {
                ScanSettings settings = {};
                settings.Source = source;
                settings.ColorMode = mode;
                settings.Dpi = 300;
                settings.Brightness = 40;
                settings.Contrast = -40;
                const EsclJobPlan plan = escl_plan_job(caps, settings);
                if (plan.width <= 0 || plan.height <= 0 || plan.resolution <= 0) abort();
                ByteBuffer request = {};
                if (!escl_job_xml(plan, &request)) abort();
                release(&request);
            }
        }
    }
    escl_capabilities_release(&caps);
    EsclStatus status = {};
    escl_parse_status(xml, size, L"/eSCL/ScanJobs/1", &status);
}

#endif
