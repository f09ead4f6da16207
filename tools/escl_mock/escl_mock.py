#!/usr/bin/env python3
"""A mock eSCL copier for the end-to-end tests. It serves on 127.0.0.1 only, on a port the
system chooses (written to --port-file), and records every request in --log ("METHOD PATH
STATUS" lines) and every scan request body in --jobs, so a test can check what the program
sent. The options script the copier: its inputs, pages, an empty feeder, a jam, slow or
stalled pages, an unreadable page, refused requests, a Location naming another host, HTTPS
with a self-signed certificate."""
import argparse
import os
import ssl
import http.server
import threading
import time

ESCL = "http://schemas.hp.com/imaging/escl/2011/05/03"
PWG = "http://www.pwg.org/schemas/2010/12/sm"


def input_caps(element, max_height):
    resolutions = "".join(
        "<scan:DiscreteResolution><scan:XResolution>%d</scan:XResolution>"
        "<scan:YResolution>%d</scan:YResolution></scan:DiscreteResolution>" % (r, r)
        for r in (100, 200, 300, 600))
    return (
        "<scan:%s><scan:MinWidth>16</scan:MinWidth><scan:MaxWidth>2550</scan:MaxWidth>"
        "<scan:MinHeight>16</scan:MinHeight><scan:MaxHeight>%d</scan:MaxHeight>"
        "<scan:MaxScanRegions>1</scan:MaxScanRegions><scan:SettingProfiles><scan:SettingProfile>"
        "<scan:ColorModes><scan:ColorMode>BlackAndWhite1</scan:ColorMode><scan:ColorMode>Grayscale8</scan:ColorMode>"
        "<scan:ColorMode>RGB24</scan:ColorMode></scan:ColorModes>"
        "<scan:DocumentFormats><pwg:DocumentFormat>application/pdf</pwg:DocumentFormat>"
        "<pwg:DocumentFormat>image/jpeg</pwg:DocumentFormat>"
        "<scan:DocumentFormatExt>image/jpeg</scan:DocumentFormatExt></scan:DocumentFormats>"
        "<scan:SupportedResolutions><scan:DiscreteResolutions>%s</scan:DiscreteResolutions>"
        "</scan:SupportedResolutions></scan:SettingProfile></scan:SettingProfiles></scan:%s>"
        % (element, max_height, resolutions, element))


def capabilities(options):
    inputs = options.inputs.split(",")
    parts = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<scan:ScannerCapabilities xmlns:scan="%s" xmlns:pwg="%s">' % (ESCL, PWG),
             "<pwg:Version>2.63</pwg:Version>",
             "<pwg:MakeAndModel>%s</pwg:MakeAndModel>" % options.name,
             "<scan:Manufacturer>Zan Test Works</scan:Manufacturer>",
             "<scan:UUID>%s</scan:UUID>" % options.uuid]
    if "platen" in inputs:
        parts.append("<scan:Platen>%s</scan:Platen>" % input_caps("PlatenInputCaps", 3508))
    if "feeder" in inputs:
        adf = input_caps("AdfSimplexInputCaps", 4200)
        options_xml = "<scan:AdfOption>DetectPaperLoaded</scan:AdfOption>"
        if "duplex" in inputs:
            adf += input_caps("AdfDuplexInputCaps", 4200)
            options_xml += "<scan:AdfOption>Duplex</scan:AdfOption>"
        parts.append("<scan:Adf>%s<scan:FeederCapacity>50</scan:FeederCapacity>"
                     "<scan:AdfOptions>%s</scan:AdfOptions></scan:Adf>" % (adf, options_xml))
    parts.append("<scan:BrightnessSupport><scan:Min>0</scan:Min><scan:Max>1000</scan:Max>"
                 "<scan:Normal>500</scan:Normal><scan:Step>1</scan:Step></scan:BrightnessSupport>")
    parts.append("</scan:ScannerCapabilities>")
    return "\n".join(parts).encode()


class Copier:
    def __init__(self, options):
        self.options = options
        self.lock = threading.Lock()
        self.jobs = {}        # id -> {"state", "reason", "sent", "feeder"}
        self.next_id = 1
        self.adf_state = "ScannerAdfEmpty" if options.empty_feeder else "ScannerAdfLoaded"
        with open(options.page, "rb") as f:
            self.page = f.read()

    def status(self):
        with self.lock:
            infos = "".join(
                "<scan:JobInfo><pwg:JobUri>/eSCL/ScanJobs/%d</pwg:JobUri><pwg:JobUuid>job-%d</pwg:JobUuid>"
                "<pwg:ImagesCompleted>%d</pwg:ImagesCompleted><pwg:JobState>%s</pwg:JobState>"
                "<pwg:JobStateReasons><pwg:JobStateReason>%s</pwg:JobStateReason></pwg:JobStateReasons>"
                "</scan:JobInfo>" % (i, i, j["sent"], j["state"], j["reason"])
                for i, j in self.jobs.items())
            busy = any(j["state"] == "Processing" for j in self.jobs.values())
            return ('<?xml version="1.0" encoding="UTF-8"?>\n<scan:ScannerStatus xmlns:scan="%s" xmlns:pwg="%s">'
                    "<pwg:Version>2.63</pwg:Version><pwg:State>%s</pwg:State><scan:AdfState>%s</scan:AdfState>"
                    "<scan:Jobs>%s</scan:Jobs></scan:ScannerStatus>"
                    % (ESCL, PWG, "Processing" if busy else "Idle", self.adf_state, infos)).encode()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    copier = None

    def log_message(self, *args):
        pass

    def record(self, status):
        with open(self.copier.options.log, "a") as f:
            f.write("%s %s %d\n" % (self.command, self.path, status))

    def answer(self, status, body=b"", content_type="text/xml", headers=()):
        self.record(status)
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        o = self.copier.options
        if self.path == "/eSCL/ScannerCapabilities":
            if o.caps_status != 200:
                return self.answer(o.caps_status)
            return self.answer(200, capabilities(o))
        if self.path == "/eSCL/ScannerStatus":
            return self.answer(200, self.copier.status())
        parts = self.path.split("/")
        if len(parts) == 5 and parts[:3] == ["", "eSCL", "ScanJobs"] and parts[4] == "NextDocument":
            return self.next_document(int(parts[3]) if parts[3].isdigit() else -1)
        return self.answer(404)

    def next_document(self, job_id):
        o = self.copier.options
        with self.copier.lock:
            job = self.copier.jobs.get(job_id)
        if job is None or job["state"] != "Processing":
            return self.answer(404)
        total = o.pages if job["feeder"] else 1
        if job["sent"] == o.stall_after:
            self.record(0)
            time.sleep(3600)
            return
        if o.jam_after >= 0 and job["sent"] == o.jam_after:
            with self.copier.lock:
                job["state"], job["reason"] = "Aborted", "JobCanceledBySystem"
                self.copier.adf_state = "ScannerAdfJam"
            return self.answer(404)
        if job["sent"] >= total:
            with self.copier.lock:
                job["state"], job["reason"] = "Completed", "JobCompletedSuccessfully"
            return self.answer(404)
        if o.slow_ms:
            time.sleep(o.slow_ms / 1000.0)
        with self.copier.lock:
            if job["state"] != "Processing":
                return self.answer(404)
            job["sent"] += 1
            number = job["sent"]
        body = b"<html>not a picture</html>" if number == o.bad_page else self.copier.page
        return self.answer(200, body, "image/jpeg")

    def do_POST(self):
        o = self.copier.options
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        if self.path != "/eSCL/ScanJobs":
            return self.answer(404)
        with open(o.jobs, "ab") as f:
            f.write(body)
        if o.post_status != 201:
            return self.answer(o.post_status)
        feeder = b"<pwg:InputSource>Feeder</pwg:InputSource>" in body
        if feeder and o.empty_feeder:
            return self.answer(409)
        with self.copier.lock:
            job_id = self.copier.next_id
            self.copier.next_id += 1
            self.copier.jobs[job_id] = {"state": "Processing", "reason": "JobScanning", "sent": 0, "feeder": feeder}
        host = o.location_host or "127.0.0.1:%d" % self.server.server_address[1]
        scheme = "https" if o.tls_cert else "http"
        return self.answer(201, headers=[("Location", "%s://%s/eSCL/ScanJobs/%d" % (scheme, host, job_id))])

    def do_DELETE(self):
        parts = self.path.split("/")
        job_id = int(parts[3]) if len(parts) == 4 and parts[3].isdigit() else -1
        with self.copier.lock:
            job = self.copier.jobs.get(job_id)
            if job is not None:
                job["state"], job["reason"] = "Canceled", "JobCanceledByUser"
        return self.answer(200 if job is not None else 404)


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--port-file", required=True)
    p.add_argument("--log", required=True)
    p.add_argument("--jobs", required=True)
    p.add_argument("--page", required=True, help="the JPEG file served as every page")
    p.add_argument("--pages", type=int, default=3, help="pages in the feeder")
    p.add_argument("--inputs", default="platen,feeder", help="platen, feeder, duplex")
    p.add_argument("--name", default="Zan Mock Copier 5000")
    p.add_argument("--uuid", default="4509a320-00a0-008f-00b6-00000000ab01")
    p.add_argument("--empty-feeder", action="store_true")
    p.add_argument("--jam-after", type=int, default=-1)
    p.add_argument("--stall-after", type=int, default=-1)
    p.add_argument("--slow-ms", type=int, default=0)
    p.add_argument("--bad-page", type=int, default=0)
    p.add_argument("--caps-status", type=int, default=200)
    p.add_argument("--post-status", type=int, default=201)
    p.add_argument("--location-host", default="", help="the host named in the job's Location")
    p.add_argument("--tls-cert", default="", help="serve HTTPS with this certificate (PEM)")
    p.add_argument("--tls-key", default="", help="the certificate's private key (PEM)")
    options = p.parse_args()
    Handler.copier = Copier(options)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if options.tls_cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(options.tls_cert, options.tls_key)
        context.maximum_version = ssl.TLSVersion.TLSv1_2
        server.socket = context.wrap_socket(server.socket, server_side=True)
    with open(options.port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))

    os.replace(options.port_file + ".tmp", options.port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
