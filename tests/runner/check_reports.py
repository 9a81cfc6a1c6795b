#!/usr/bin/python3
"""Checks the JSON and JUnit reports of one vantrel-run run with Python's own parsers.

Usage: check_reports.py JSON JUNIT EXIT_CODE PASSED FAILED NOT_RUN
Exits 0 when both files parse, agree with each other and with the counts given, and every
step that ran carries its request bytes; otherwise prints the first disagreement and exits 1.
"""
import json
import sys
import xml.etree.ElementTree as ET


def fail(text):
    print(text)
    sys.exit(1)


def main():
    json_path, junit_path = sys.argv[1], sys.argv[2]
    exit_code, passed, failed, not_run = (int(a) for a in sys.argv[3:7])
    with open(json_path, encoding="utf-8") as f:
        report = json.load(f)
    if report["exit_code"] != exit_code:
        fail(f"JSON exit_code {report['exit_code']}, expected {exit_code}")
    verdicts = [s["verdict"] for s in report["steps"]]
    counts = (verdicts.count("pass"), verdicts.count("fail"), verdicts.count("not run"))
    if counts != (passed, failed, not_run):
        fail(f"JSON step verdicts {counts}, expected {(passed, failed, not_run)}")
    if (report["steps_passed"], report["steps_failed"]) != (passed, failed):
        fail("JSON totals disagree with its steps")
    if report["verdict"] != ("pass" if exit_code == 0 else "fail"):
        fail(f"JSON verdict {report['verdict']} with exit code {exit_code}")
    for step in report["steps"]:
        if step["verdict"] != "not run" and not step["request"]:
            fail(f"step {step['number']} ran without request bytes")
        if step["verdict"] == "fail" and not step["failure"]:
            fail(f"step {step['number']} failed without a reason")
    suite = ET.parse(junit_path).getroot().find("testsuite")
    cases = suite.findall("testcase")
    if len(cases) != len(report["steps"]):
        fail(f"JUnit has {len(cases)} test cases for {len(report['steps'])} steps")
    failures = sum(1 for c in cases if c.find("failure") is not None)
    skipped = sum(1 for c in cases if c.find("skipped") is not None)
    if (failures, skipped) != (failed, not_run) or int(suite.get("failures")) != failed:
        fail(f"JUnit failures/skipped {(failures, skipped)}, expected {(failed, not_run)}")
    for case, step in zip(cases, report["steps"]):
        if case.get("name") != step["name"]:
            fail(f"JUnit case {case.get('name')!r} is step {step['name']!r}")


main()
