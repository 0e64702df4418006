#!/usr/bin/env python3
"""Prints fuzz/campaign.tsv as the Markdown table of docs/fuzzing.md.

One row per target, in order of first appearance: the number of campaign
runs, seconds and executions summed over them, and the corpus size and
coverage of the latest run (each run starts from the previous run's corpus,
so the latest figures are the current ones). Usage:
    fuzz/campaign_table.py [fuzz/campaign.tsv]
"""
import csv
import sys
from pathlib import Path


def main():
    path = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("campaign.tsv")
    rows = {}
    with open(path, newline="") as handle:
        for record in csv.DictReader(handle, delimiter="\t"):
            row = rows.setdefault(record["target"], {"runs": 0, "seconds": 0, "cpu": 0, "executions": 0})
            row["runs"] += 1
            row["seconds"] += int(record["seconds"])
            # Runs recorded before processor time was kept count their wall time.
            row["cpu"] += int(record.get("cpu_seconds") or record["seconds"])
            row["executions"] += int(record["executions"])
            row["latest"] = record
    print("| target | runs | seconds | CPU hours | executions | corpus files | corpus bytes | cov | ft | last run |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---|")
    for target, row in rows.items():
        latest = row["latest"]
        print(f"| `{target}` | {row['runs']} | {row['seconds']:,} | {row['cpu'] / 3600:.2f} | {row['executions']:,} | {latest['files']} "
              f"| {int(latest['bytes']):,} | {latest['cov']} | {latest['ft']} | {latest['date'][:10]} |")


if __name__ == "__main__":
    main()
