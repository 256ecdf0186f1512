#!/usr/bin/env python3
"""Builds res/countries.db, its sources note and the benchmark's example numbers.

Inputs (all installed by gen-countries.sh, nothing is fetched here):
  --lpn       unpacked npm package libphonenumber-js (metadata.max.json)
  --mccmnc    unpacked npm package mcc-mnc-list (mcc-mnc-list.json)
  --examples  JSON written by format-examples.cjs
  Debian: mobile-broadband-provider-info, iso-codes, unicode-cldr-core

Outputs:
  --out       the SQLite reference database
  --sources   Markdown note naming every source, its version and licence
  --bench     tab-separated example numbers for bench_normalise
"""

import argparse
import collections
import json
import os
import sqlite3
import sys
import xml.etree.ElementTree as ET

PROVIDERS_XML = "/usr/share/mobile-broadband-provider-info/serviceproviders.xml"
ISO_3166_JSON = "/usr/share/iso-codes/json/iso_3166-1.json"
CLDR_DIR = "/usr/share/unicode/cldr/common"

SCHEMA = """
CREATE TABLE countries(
  sn CHAR(2) PRIMARY KEY,
  ln TEXT,
  pnum TEXT,
  mmc TEXT,
  numc TEXT,
  u2 TEXT,
  r1 TEXT,
  r2 TEXT,
  r3 TEXT,
  r4 TEXT,
  mnc_rx TEXT,
  n TEXT);
CREATE TABLE mmc_sn(
  mmc CHAR(3) PRIMARY KEY,
  sn CHAR(2));
CREATE INDEX index_countries_pnum on countries(pnum);
CREATE INDEX index_mmc_sn on mmc_sn(sn);
"""

# Mobile country codes shared by several territories: the territory the code is
# assigned to. The lists name them together ("BL/GF/GP/MF/MQ"), so the owner
# has to be said once here. A phone of another territory on that code is then
# normalised with the owner's calling code only when its number fits the
# owner's mobile pattern.
SHARED_MCC_OWNER = {
    "234": "GB",  # also Jersey, Guernsey, Isle of Man (all +44)
    "235": "GB",
    "250": "RU",
    "255": "UA",
    "270": "LU",
    "310": "US",
    "311": "US",
    "313": "US",
    "338": "JM",
    "340": "GP",  # French Antilles: Guadeloupe, Martinique, St Barthelemy, St Martin
    "362": "CW",  # former Netherlands Antilles: Curacao, Bonaire, Sint Maarten
    "425": "IL",
    "505": "AU",  # also Christmas Island, Cocos Islands (all +61)
}

# Codes the lists mark as international although one territory's only network
# uses them: Diego Garcia's operator reports 995.
EXTRA_MCC_OWNER = {
    "995": "IO",
}

# Territories that no list files a network under: their phones report the code
# of the country whose networks serve them, so that code is what they are chosen by.
SERVED_BY = {
    "AC": "SH",  # Ascension uses Saint Helena's networks
    "AX": "FI",
    "EH": "MA",
    "SJ": "NO",
    "TA": "SH",
    "VA": "IT",
}

# Rows that an earlier reference file showed; the generated data must agree.
EXPECTED_ROWS = {
    "IN": ("91", "404,405"),
    "BR": ("55", "724"),
    "FR": ("33", "208"),
    "CN": ("86", "460"),
    "DE": ("49", "262"),
}


def parse_args():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--lpn", required=True)
    p.add_argument("--mccmnc", required=True)
    p.add_argument("--examples", required=True)
    p.add_argument("--out", required=True)
    p.add_argument("--sources", required=True)
    p.add_argument("--bench", required=True)
    p.add_argument("--numc", choices=["all", "mobile"], default="all",
                   help="lengths stored in numc: of every number type, or of mobile numbers only")
    p.add_argument("--versions", default="",
                   help="'name=version' pairs of the packages used, comma-separated")
    return p.parse_args()


def load_json(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


# ---------------------------------------------------------------- telephony data

def mobile_data(country):
    """(r1, mobile lengths) of one libphonenumber-js region.

    In the compressed metadata the types list is at index 11 and the mobile
    type is its second entry; an empty mobile pattern means "the same as the
    fixed-line pattern" (the North American plan), a missing one means the
    region publishes no mobile numbers."""
    all_lengths = country[3]
    types = country[11] if len(country) > 11 else None
    if not types or len(types) < 2 or not types[1]:
        return None, all_lengths
    mobile = types[1]
    pattern = mobile[0]
    lengths = mobile[1] if len(mobile) > 1 and mobile[1] else all_lengths
    if pattern == "":
        fixed = types[0]
        pattern = fixed[0] if fixed else None
    return pattern, lengths


def national_prefix(country):
    return country[5] if len(country) > 5 and country[5] else ""


# ---------------------------------------------------------------- mobile country codes

def split_codes(code):
    return [c.strip().upper() for c in (code or "").split("/") if c.strip()]


def provider_networks():
    """Mobile country codes per region from the providers database."""
    users = collections.defaultdict(collections.Counter)
    root = ET.parse(PROVIDERS_XML).getroot()
    for country in root.findall("country"):
        sn = country.get("code").upper()
        for net in country.iter("network-id"):
            users[net.get("mcc")][sn] += 1
    return users


def list_networks(path):
    """Mobile country codes per region from the fuller MCC list (national entries)."""
    users = collections.defaultdict(collections.Counter)
    for entry in load_json(path):
        if entry.get("type") != "National":
            continue
        for sn in split_codes(entry.get("countryCode")):
            users[entry["mcc"]][sn] += 1
    return users


def mcc_owners(regions, providers, fuller):
    """MCC -> owning region; and the MCCs each region's networks use."""
    owners = {}
    used_by = collections.defaultdict(set)
    for mcc in sorted(set(providers) | set(fuller)):
        counts = collections.Counter()
        counts.update(providers.get(mcc, {}))
        counts.update(fuller.get(mcc, {}))
        known = {sn: n for sn, n in counts.items() if sn in regions}
        for sn in known:
            used_by[sn].add(mcc)
        if not known:
            continue
        if mcc in SHARED_MCC_OWNER:
            owners[mcc] = SHARED_MCC_OWNER[mcc]
        else:
            # The most networks win; the providers file breaks a tie since it
            # files each network under the country that licensed it.
            owners[mcc] = max(known, key=lambda sn: (known[sn], providers.get(mcc, {}).get(sn, 0), sn))
    for mcc, sn in EXTRA_MCC_OWNER.items():
        owners[mcc] = sn
        used_by[sn].add(mcc)
    return owners, used_by


def owned_mmc(sn, owners):
    return sorted(m for m, o in owners.items() if o == sn)


def country_mmc(sn, owners, used_by):
    """The codes assigned to the country; else those its networks use; else
    those of the country that serves it."""
    return (owned_mmc(sn, owners) or sorted(used_by.get(sn, ()))
            or owned_mmc(SERVED_BY.get(sn, ""), owners))


# ---------------------------------------------------------------- names

def english_names():
    names = {}
    for entry in load_json(ISO_3166_JSON)["3166-1"]:
        names[entry["alpha_2"]] = entry.get("common_name") or entry["name"]
    return names


class Cldr:
    """Territory names of CLDR locales, following the locale fallback chain."""

    def __init__(self):
        self.cache = {}
        self.likely = {}
        root = ET.parse(os.path.join(CLDR_DIR, "supplemental", "likelySubtags.xml")).getroot()
        for item in root.iter("likelySubtag"):
            self.likely[item.get("from")] = item.get("to")

    def territories(self, locale):
        if locale not in self.cache:
            path = os.path.join(CLDR_DIR, "main", locale + ".xml")
            names = None
            if os.path.exists(path):
                names = {}
                for t in ET.parse(path).getroot().iter("territory"):
                    if t.get("alt") is None and t.text:
                        names[t.get("type")] = t.text
            self.cache[locale] = names
        return self.cache[locale]

    def parent_locales(self):
        parents = {}
        root = ET.parse(os.path.join(CLDR_DIR, "supplemental", "supplementalData.xml")).getroot()
        for item in root.iter("parentLocale"):
            for locale in item.get("locales").split():
                parents[locale] = item.get("parent")
        return parents

    def chain(self, lang, script, region):
        """Locale ids from the most specific to the language, as CLDR inherits.

        Files of a language's default script carry no script subtag (pt_PT,
        not pt_Latn_PT); other scripts (zh_Hant, sr_Latn) may have their own
        parent (root) instead of the bare language."""
        if not hasattr(self, "parents"):
            self.parents = self.parent_locales()
        default_script = (self.likely.get(lang) or "").split("_")[1:2]
        locale = lang + "_" + region if [script] == default_script \
            else lang + "_" + script + "_" + region
        chain = []
        while locale and locale != "root":
            chain.append(locale)
            locale = self.parents.get(locale) or locale.rpartition("_")[0]
        return chain

    def name_in(self, locale_chain, sn):
        for locale in locale_chain:
            names = self.territories(locale)
            if names and sn in names:
                return names[sn]
        return None

    def local_name(self, sn):
        tag = self.likely.get("und_" + sn)
        if not tag:
            return None
        parts = tag.split("_")
        if len(parts) != 3:
            return None
        return self.name_in(self.chain(*parts), sn)

    def english_name(self, sn):
        return self.name_in(["en"], sn)


# ---------------------------------------------------------------- output

def build_rows(meta, owners, used_by, numc_kind):
    iso = english_names()
    cldr = Cldr()
    rows = []
    for sn, country in sorted(meta["countries"].items()):
        r1, mobile_lengths = mobile_data(country)
        lengths = country[3] if numc_kind == "all" else mobile_lengths
        english = iso.get(sn) or cldr.english_name(sn)
        local = cldr.local_name(sn) or english
        rows.append({
            "sn": sn,
            "ln": local,
            "pnum": country[0],
            "mmc": ",".join(country_mmc(sn, owners, used_by)),
            "numc": ",".join(str(n) for n in lengths),
            "r1": r1,
            "n": english,
        })
    return rows


def write_db(path, rows, owners):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.executescript(SCHEMA)
    db.executemany(
        "insert into countries(sn, ln, pnum, mmc, numc, r1, n) values(?,?,?,?,?,?,?)",
        [(r["sn"], r["ln"], r["pnum"], r["mmc"], r["numc"], r["r1"], r["n"]) for r in rows])
    db.executemany("insert into mmc_sn(mmc, sn) values(?,?)", sorted(owners.items()))
    db.commit()
    db.execute("VACUUM")
    db.close()


def check_rows(rows, owners):
    by_sn = {r["sn"]: r for r in rows}
    problems = []
    for sn, (pnum, mmc) in EXPECTED_ROWS.items():
        row = by_sn.get(sn)
        if row is None:
            problems.append("%s missing" % sn)
            continue
        if row["pnum"] != pnum:
            problems.append("%s calling code %s, expected %s" % (sn, row["pnum"], pnum))
        for code in mmc.split(","):
            if owners.get(code) != sn:
                problems.append("%s: MCC %s belongs to %s" % (sn, code, owners.get(code)))
        if not row["mmc"].startswith(mmc.split(",")[0]):
            problems.append("%s: first MCC is %s" % (sn, row["mmc"]))
    for mcc, sn in owners.items():
        if sn not in by_sn:
            problems.append("MCC %s owned by unknown region %s" % (mcc, sn))
    if problems:
        sys.exit("countries.db disagrees with the reference rows:\n  " + "\n  ".join(problems))


def write_bench_examples(path, meta, examples):
    """One line per region: region, calling code, trunk prefix, national number,
    E.164, national format, international format."""
    with open(path, "w", encoding="utf-8") as f:
        f.write("# region\tcalling code\ttrunk prefix\tnational number\tE.164\t"
                "national format\tinternational format\n")
        for sn in sorted(examples):
            ex = examples[sn]
            country = meta["countries"][sn]
            f.write("\t".join([sn, country[0], national_prefix(country), ex["nationalNumber"],
                               ex["e164"], ex["national"], ex["international"]]) + "\n")


def write_sources(path, versions, rows, owners, numc_kind):
    without_r1 = [r["sn"] for r in rows if not r["r1"]]
    without_mmc = [r["sn"] for r in rows if not r["mmc"]]
    borrowed = [r["sn"] for r in rows if r["mmc"] and owners.get(r["mmc"].split(",")[0]) != r["sn"]]
    lines = [
        "# countries.db: sources",
        "",
        "Generated by tools/countries/gen-countries.sh; do not edit by hand.",
        "",
        "| package | version | licence | used for |",
        "|---|---|---|---|",
        "| npm libphonenumber-js | %s | MIT (metadata derived from Google libphonenumber, Apache-2.0) "
        "| calling codes, possible lengths, mobile patterns, trunk prefixes, example numbers |"
        % versions.get("libphonenumber-js", "?"),
        "| Debian mobile-broadband-provider-info | %s | public domain "
        "| mobile country codes of each country's networks |"
        % versions.get("mobile-broadband-provider-info", "?"),
        "| npm mcc-mnc-list | %s | MIT (code); its data is taken from the English Wikipedia page "
        "\"Mobile country code\", CC BY-SA 4.0 | mobile country codes missing from the providers database |"
        % versions.get("mcc-mnc-list", "?"),
        "| Debian libphonenumber-dev | %s | Apache-2.0 | fixed-line example numbers for the benchmark "
        "(bench/data/fixed-line-examples.tsv); not part of countries.db |"
        % versions.get("libphonenumber-dev", "?"),
        "| Debian iso-codes | %s | LGPL-2.1+ | English country names (common name where ISO gives one) |"
        % versions.get("iso-codes", "?"),
        "| Debian unicode-cldr-core | %s | Unicode-DFS-2016 | each country's name in its likely language; "
        "English names of AC, TA and XK, which ISO 3166-1 lacks |"
        % versions.get("unicode-cldr-core", "?"),
        "",
        "## Contents",
        "",
        "- countries: %d rows; mmc_sn: %d rows." % (len(rows), len(owners)),
        "- numc holds the possible lengths of %s." % (
            "every number type of the country (not only mobile numbers), so that numbers "
            "carrying the calling code without \"+\" are completed whatever their kind; "
            "docs/BENCHMARKS.md compares both choices" if numc_kind == "all"
            else "mobile numbers"),
        "- r1 is the mobile pattern; where the data gives an empty one (\"same as fixed line\", "
        "the North American plan) the fixed-line pattern is stored.",
        "- Countries without r1 (no mobile numbers published): %s." % (", ".join(without_r1) or "none"),
        "- Countries without a mobile country code: %s." % (", ".join(without_mmc) or "none"),
        "- Countries whose mmc lists codes assigned to another country, which their networks use: %s."
        % (", ".join(borrowed) or "none"),
        "- Shared codes are owned in mmc_sn by: %s." % ", ".join(
            "%s %s" % (m, s) for m, s in sorted(SHARED_MCC_OWNER.items())),
        "- Added by hand: %s." % ", ".join(
            "%s %s" % (m, s) for m, s in sorted(EXTRA_MCC_OWNER.items())),
        "- u2, r2, r3, r4 and mnc_rx are left empty: the program does not read them.",
        "",
    ]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


def main():
    args = parse_args()
    versions = dict(p.split("=", 1) for p in args.versions.split(",") if "=" in p)
    meta = load_json(os.path.join(args.lpn, "metadata.max.json"))
    regions = set(meta["countries"])
    owners, used_by = mcc_owners(regions, provider_networks(),
                                 list_networks(os.path.join(args.mccmnc, "mcc-mnc-list.json")))
    rows = build_rows(meta, owners, used_by, args.numc)
    check_rows(rows, owners)
    write_db(args.out, rows, owners)
    write_sources(args.sources, versions, rows, owners, args.numc)
    write_bench_examples(args.bench, meta, load_json(args.examples))
    print("countries: %d, mobile country codes: %d" % (len(rows), len(owners)))


if __name__ == "__main__":
    main()
