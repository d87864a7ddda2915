// The benchmarks' entry. Run plainly it is Google Benchmark's usual program; with --quillo_table
// (scripts/bench) it prints one table of the figures that matter against their targets, with the
// figures measured outside it (callgrind's instruction count, the peak resident memory) handed
// in as flags:
//   --quillo_instructions=SNIPPETS:COUNT[,SNIPPETS:COUNT...]   instructions per key-down
//   --quillo_max_rss_kb=KB                                       peak resident set of the program
//   --quillo_rows=FILE                                           rows measured elsewhere, one a
//                                                                line, cells separated by tabs
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Figure {
    double nanoseconds = 0;
    double cpuNanoseconds = 0;
    std::map<std::string, double> counters;
};

// Keeps the median of each benchmark (or its only run) and prints nothing until the end.
class TableReporter : public benchmark::BenchmarkReporter {
  public:
    bool ReportContext(const Context&) override { return true; }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            const std::string name = run.run_name.function_name + "/" + run.run_name.args;
            if (run.error_occurred) {
                errors_[name] = run.error_message;
                continue;
            }
            const bool wanted = run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median"
                                                                  : run.repetitions <= 1;
            if (!wanted) {
                continue;
            }
            Figure figure;
            figure.nanoseconds = run.GetAdjustedRealTime() * nanosecondsPer(run.time_unit);
            figure.cpuNanoseconds = run.GetAdjustedCPUTime() * nanosecondsPer(run.time_unit);
            for (const auto& [key, counter] : run.counters) {
                figure.counters[key] = counter.value;
            }
            figures_[name] = figure;
            std::cerr << "  measured " << name << "\n";
        }
    }

    const Figure* find(const std::string& name) const {
        const auto found = figures_.find(name);
        return found == figures_.end() ? nullptr : &found->second;
    }
    const std::map<std::string, std::string>& errors() const { return errors_; }

  private:
    static double nanosecondsPer(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kNanosecond:
            return 1;
        case benchmark::kMicrosecond:
            return 1e3;
        case benchmark::kMillisecond:
            return 1e6;
        case benchmark::kSecond:
            return 1e9;
        }
        return 1;
    }

    std::map<std::string, Figure> figures_;
    std::map<std::string, std::string> errors_;
};

struct ExtraFigures {
    std::map<std::string, double> instructions; // by snippet count
    std::optional<double> maxRssKb;
    std::optional<std::string> rowsFile;
};

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string milliseconds(double ms) {
    return fixed(ms, ms < 10 ? 2 : 1) + " ms";
}

std::string withSeparators(const std::string& count) {
    std::string out;
    for (std::size_t i = 0; i < count.size(); ++i) {
        if (i > 0 && (count.size() - i) % 3 == 0) {
            out += ',';
        }
        out += count[i];
    }
    return out;
}

class Table {
  public:
    void row(std::string measure, std::string snippets, std::string result, std::string target,
             std::string verdict) {
        rows_.push_back({std::move(measure), std::move(snippets), std::move(result),
                         std::move(target), std::move(verdict)});
    }

    void print() const {
        const std::vector<std::string> header = {"Measure", "Snippets", "Result", "Target",
                                                 "Verdict"};
        std::vector<std::size_t> widths(header.size());
        for (std::size_t c = 0; c < header.size(); ++c) {
            widths[c] = header[c].size();
            for (const auto& r : rows_) {
                widths[c] = std::max(widths[c], displayWidth(r[c]));
            }
        }
        const auto line = [&](const std::vector<std::string>& cells) {
            std::cout << "|";
            for (std::size_t c = 0; c < cells.size(); ++c) {
                std::cout << ' ' << cells[c] << std::string(widths[c] - displayWidth(cells[c]), ' ')
                          << " |";
            }
            std::cout << "\n";
        };
        line(header);
        std::cout << "|";
        for (const auto width : widths) {
            std::cout << std::string(width + 2, '-') << "|";
        }
        std::cout << "\n";
        for (const auto& r : rows_) {
            line(r);
        }
    }

  private:
    // Columns line up on a terminal: count code points, not bytes.
    static std::size_t displayWidth(const std::string& text) {
        std::size_t width = 0;
        for (const char c : text) {
            width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }
        return width;
    }

    std::vector<std::vector<std::string>> rows_;
};

std::string verdict(bool met) {
    return met ? "met" : "MISSED";
}

void printTable(const TableReporter& reporter, const ExtraFigures& extra) {
    Table table;
    const auto missing = [&](const std::string& measure, const std::string& snippets) {
        table.row(measure, snippets, "not measured", "", "");
    };

    const Figure* small = reporter.find("keyDown/100");
    for (const std::string count : {"100", "10000", "100000"}) {
        const Figure* figure = reporter.find("keyDown/" + count);
        if (!figure) {
            missing("handleKeyEvent, median", withSeparators(count));
            continue;
        }
        const double median = figure->counters.at("p50_ns");
        const double p99 = figure->counters.at("p99_ns");
        if (count == "100000" && small) {
            const double ratio = median / small->counters.at("p50_ns");
            table.row("handleKeyEvent, median", withSeparators(count),
                      fixed(median / 1000, 3) + " µs (" + fixed(ratio, 2) + "× at 100)",
                      "≤ 2 µs and ≤ 1.5× at 100", verdict(median <= 2000 && ratio <= 1.5));
        } else {
            table.row("handleKeyEvent, median", withSeparators(count),
                      fixed(median / 1000, 3) + " µs", "", "");
        }
        table.row("handleKeyEvent, 99th percentile", withSeparators(count),
                  fixed(p99 / 1000, 3) + " µs", "", "");
    }
    for (const auto& [count, instructions] : extra.instructions) {
        table.row("instructions per key-down (callgrind)", withSeparators(count),
                  withSeparators(fixed(instructions, 0)), "", "");
    }

    if (const Figure* build = reporter.find("indexBuild/100000")) {
        const double ms = build->nanoseconds / 1e6;
        table.row("index build", "100,000",
                  milliseconds(ms) + " (CPU " + milliseconds(build->cpuNanoseconds / 1e6) + ")",
                  "≤ 50 ms", verdict(ms <= 50));
    } else {
        missing("index build", "100,000");
    }

    struct FileRow {
        std::string benchmark;
        std::string measure;
        std::string count;
        std::optional<double> targetMs;
    };
    const std::vector<FileRow> fileRows = {
        {"load", "load (read, decode, store)", "10000", std::nullopt},
        {"load", "load (read, decode, store)", "100000", 400},
        {"save", "save (encode, durable write)", "10000", 10},
        {"save", "save (encode, durable write)", "100000", 150},
        {"encode", "  of which: encode", "10000", std::nullopt},
        {"encode", "  of which: encode", "100000", std::nullopt},
        {"durableWrite", "  of which: write, fsync, rename, fsync", "10000", std::nullopt},
        {"durableWrite", "  of which: write, fsync, rename, fsync", "100000", std::nullopt},
        {"writeWithoutSync", "  the same write without fsync", "10000", std::nullopt},
        {"writeWithoutSync", "  the same write without fsync", "100000", std::nullopt},
    };
    for (const auto& r : fileRows) {
        const Figure* figure = reporter.find(r.benchmark + "/" + r.count);
        if (!figure) {
            missing(r.measure, withSeparators(r.count));
            continue;
        }
        const double ms = figure->nanoseconds / 1e6;
        std::string result =
            milliseconds(ms) + " (CPU " + milliseconds(figure->cpuNanoseconds / 1e6) + ")";
        if (const auto bytes = figure->counters.find("file_bytes");
            bytes != figure->counters.end() && r.benchmark == "load") {
            result += " (" + fixed(bytes->second / 1e6, 1) + " MB file)";
        }
        if (r.targetMs) {
            table.row(r.measure, withSeparators(r.count), result,
                      "≤ " + fixed(*r.targetMs, 0) + " ms", verdict(ms <= *r.targetMs));
        } else {
            table.row(r.measure, withSeparators(r.count), result, "", "");
        }
    }

    for (const std::string count : {"10000", "100000"}) {
        const Figure* durable = reporter.find("durableWrite/" + count);
        const Figure* plain = reporter.find("writeWithoutSync/" + count);
        if (durable && plain) {
            table.row("  so the two fsyncs cost", withSeparators(count),
                      milliseconds((durable->nanoseconds - plain->nanoseconds) / 1e6), "", "");
        }
    }

    if (const Figure* floor = reporter.find("fsyncOneByte/")) {
        table.row("  an fsync of a one-byte file", "", milliseconds(floor->nanoseconds / 1e6), "",
                  "");
    }

    if (const Figure* outside = reporter.find("outsideChangeLive/10000")) {
        const double ms = outside->nanoseconds / 1e6;
        table.row("outside change of the snippets file live (" +
                      fixed(outside->counters.at("settling_ms"), 0) + " ms settling included)",
                  "10,000", milliseconds(ms), "≤ 200 ms", verdict(ms <= 200));
    } else {
        missing("outside change of the snippets file live", "10,000");
    }

    if (extra.maxRssKb) {
        const double mb = *extra.maxRssKb / 1024;
        table.row("peak resident memory, quillo simulate", "100,000", fixed(mb, 1) + " MB",
                  "≤ 150 MB", verdict(mb <= 150));
    }
    if (extra.rowsFile) {
        std::ifstream rows(*extra.rowsFile);
        std::string line;
        while (std::getline(rows, line)) {
            std::vector<std::string> cells;
            std::istringstream cellsOfLine(line);
            std::string cell;
            while (cells.size() < 5 && std::getline(cellsOfLine, cell, '\t')) {
                cells.push_back(cell);
            }
            cells.resize(5);
            table.row(cells[0], cells[1], cells[2], cells[3], cells[4]);
        }
    }
    table.print();
    for (const auto& [name, message] : reporter.errors()) {
        std::cout << "error in " << name << ": " << message << "\n";
    }
}

// Takes the program's own flags out of argv, leaving Google Benchmark's.
ExtraFigures takeExtraFigures(int& argc, char** argv, bool& table) {
    ExtraFigures extra;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        constexpr std::string_view instructions = "--quillo_instructions=";
        constexpr std::string_view rss = "--quillo_max_rss_kb=";
        constexpr std::string_view rows = "--quillo_rows=";
        if (arg == "--quillo_table") {
            table = true;
        } else if (arg.starts_with(instructions)) {
            std::istringstream list{std::string(arg.substr(instructions.size()))};
            std::string item;
            while (std::getline(list, item, ',')) {
                const auto colon = item.find(':');
                if (colon != std::string::npos) {
                    extra.instructions[item.substr(0, colon)] = std::stod(item.substr(colon + 1));
                }
            }
        } else if (arg.starts_with(rss)) {
            extra.maxRssKb = std::stod(std::string(arg.substr(rss.size())));
        } else if (arg.starts_with(rows)) {
            extra.rowsFile = std::string(arg.substr(rows.size()));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return extra;
}

} // namespace

int main(int argc, char** argv) {
    bool table = false;
    const ExtraFigures extra = takeExtraFigures(argc, argv, table);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (!table) {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        return 0;
    }
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printTable(reporter, extra);
    return 0;
}
