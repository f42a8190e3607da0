#!/usr/bin/env bash
# Runs every benchmark of colc_bench once and writes their ratios as the
# speed table of README.md (between the speed-table marks), so that the
# table always comes from one run of one command:
#   scripts/speed_table.sh            # build, run, rewrite the table
#   scripts/speed_table.sh --print    # print the table, leave README.md alone
# The benchmarks run on one core (the last), so that other work on the
# machine disturbs them less; each ratio is taken within the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${COLC_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target colc_bench >/dev/null
results="$(mktemp)"
trap 'rm -f "$results"' EXIT
core=$(($(nproc) - 1))
taskset -c "$core" "$build/bench/colc_bench" --benchmark_format=json --benchmark_out="$results" \
  --benchmark_out_format=json >/dev/null
python3 - "$results" "$root/README.md" "${1:-}" <<'PY'
import json, re, sys

results, readme, mode = sys.argv[1], sys.argv[2], sys.argv[3]
# Benchmark name (before the first "/") -> subject, baseline.
described = {
    "FitPlaneVsMemoryFloor": ("single-plane fit", "the memory floor: `cv::sum` of both planes"),
    "FitPlaneVsVectorRead": ("single-plane fit", "one read of both planes in vector instructions"),
    "FitPlaneVsLeastSquaresLine": ("single-plane fit", "least-squares line on float planes (OpenCV)"),
    "FitPlaneVsIntegerLeastSquaresLine": ("single-plane fit", "least-squares line on the 8-bit planes"),
    "LiteralEvaluationVsFast": ("literal evaluation of a candidate", "the fast evaluation"),
    "FitColourImageVsMemoryFloor": ("three-plane fit, 12 MP colour", "the memory floor of its six planes"),
    "FitColourImageVsVectorRead": ("three-plane fit, 12 MP colour", "one vector read of its six planes"),
    "FitGreyPairVsColourPair": ("three-plane fit, 12 MP grey pair", "the same of a colour pair"),
    "CalibrationWorkPerAcquisition": ("module's work per acquisition, `kfColorCalibrate`, 1280 x 1024",
                                      "the simulated camera's time per acquisition"),
    "SimAcquisitionVsFrameCopy": ("simulated acquisition", "copying one frame"),
    "ColourChoiceVsPlaneFits": ("choosing the colour correction, leave-one-region-out",
                                "one per-plane fit of the same view"),
    "FindCalibrationPoseVsFullFrameMatch": ("pose finding, 1280 x 1024", "one full-frame `cv::matchTemplate`"),
    "FrameIntensityVsFullFrameMatch": ("its intensity image", "the same"),
    "AlignmentRunVsFullFrameMatch": ("its pattern search", "the same"),
    "CorrelationRefinementVsFullFrameMatch": ("its correlation refinement", "the same"),
    "FootprintSamplesVs128Bit": ("footprint sampling of a 1280 x 1024 plane, wider vectors",
                                 "the same in 128-bit vectors"),
    "DecodedHalfVs128Bit": ("decoding and halving 960 x 640 pels, wider vectors", "the same in 128-bit vectors"),
    "DifferenceMomentsVs128Bit": ("noise sums of a 1280 x 1024 plane pair, wider vectors",
                                  "the same in 128-bit vectors"),
    "CorrectionVsLut": ("applying a linear-light colour correction, planes", "`cv::LUT` on the interleaved frame"),
    "InterleavedCorrectionVsLut": ("the same on interleaved pels", "`cv::LUT` on the interleaved frame"),
    "EncodedCorrectionVsLut": ("applying an encoded-domain colour correction, planes",
                               "`cv::LUT` on the interleaved frame"),
    "InterleavedEncodedCorrectionVsLut": ("the same on interleaved pels", "`cv::LUT` on the interleaved frame"),
    "CorrectionIn256BitVectorsVsLut": ("applying a linear-light colour correction, planes, 256-bit vectors",
                                       "`cv::LUT` on the interleaved frame"),
    "CorrectionVsTransform": ("applying a linear-light colour correction, planes",
                              "`cv::transform` by its 3 x 4 matrix (without the sRGB curve)"),
    "CorrectionVsPerPelComputation": ("applying a linear-light colour correction, planes",
                                      "its computation pel by pel (the oracle)"),
    "PelMapsVsLut": ("applying the pel maps, planes", "`cv::LUT` on the interleaved frame"),
    "InterleavedPelMapsVsLut": ("applying the pel maps to interleaved pels", "`cv::LUT` on the interleaved frame"),
}
rows = ["| Subject | Baseline | Size | Time | Ratio |", "|---|---|---|---|---|"]
for b in json.load(open(results))["benchmarks"]:
    # A benchmark of vectors the processor lacks is skipped.
    if b.get("error_occurred"):
        continue
    parts = b["name"].split("/")
    subject, baseline = described.get(parts[0], (parts[0], "?"))
    # Plain arguments and named widths and heights are sizes; other named
    # ones ("bits:512") are shown by name.
    size = " x ".join(p.split(":")[-1] for p in parts[1:]
                      if p.isdigit() or p.split(":")[0] in ("width", "height"))
    named = [p.replace(":", " ") for p in parts[1:]
             if ":" in p and p.split(":")[0] not in ("iterations", "width", "height", "manual_time")]
    size = size or ", ".join(named)
    time = f'{b["real_time"]:.3g} {b["time_unit"]}'
    rows.append(f'| {subject} | {baseline} | {size} | {time} | {b["ratio"]:.3g} |')
table = "\n".join(rows)
if mode == "--print":
    print(table)
    sys.exit()
text = open(readme).read()
begin, end = "<!-- speed-table begin -->", "<!-- speed-table end -->"
if begin not in text or end not in text:
    sys.exit(f"{readme} has no speed-table marks")
head, rest = text.split(begin, 1)
open(readme, "w").write(head + begin + "\n" + table + "\n" + end + rest.split(end, 1)[1])
PY
