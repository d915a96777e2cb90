#pragma once
// The independent reader for converter tests: the ffprobe / ffmpeg tools, run as processes.

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace rmtest {

inline std::string RunCapture(const std::string& cmd)
{
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

inline std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// ffprobe's flat output: "streams.stream.0.codec_name" -> "flv1", "format.duration" -> "2.0".
inline std::map<std::string, std::string> ProbeFlat(const std::string& path)
{
    std::map<std::string, std::string> m;
    std::string out = RunCapture("ffprobe -v error -show_format -show_streams -of flat " + Quote(path));
    size_t pos = 0;
    while (pos < out.size()) {
        size_t eol = out.find('\n', pos);
        if (eol == std::string::npos)
            eol = out.size();
        std::string line = out.substr(pos, eol - pos);
        pos = eol + 1;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string v = line.substr(eq + 1);
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
            v = v.substr(1, v.size() - 2);
        m[line.substr(0, eq)] = v;
    }
    return m;
}

struct StreamFacts {
    bool present = false;
    std::string codec;
    int width = 0, height = 0;
    double fps = 0;
    int sampleRate = 0, channels = 0;
    double duration = 0;
};

inline double Rational(const std::string& s)
{
    size_t slash = s.find('/');
    if (slash == std::string::npos)
        return std::atof(s.c_str());
    double d = std::atof(s.c_str() + slash + 1);
    return d ? std::atof(s.c_str()) / d : 0;
}

inline StreamFacts ProbeStream(const std::map<std::string, std::string>& m, const std::string& type)
{
    StreamFacts f;
    for (int i = 0; i < 8; ++i) {
        std::string k = "streams.stream." + std::to_string(i) + ".";
        auto it = m.find(k + "codec_type");
        if (it == m.end() || it->second != type)
            continue;
        auto get = [&](const char* key) {
            auto j = m.find(k + key);
            return j == m.end() ? std::string() : j->second;
        };
        f.present = true;
        f.codec = get("codec_name");
        f.width = std::atoi(get("width").c_str());
        f.height = std::atoi(get("height").c_str());
        f.fps = Rational(get("r_frame_rate"));
        f.sampleRate = std::atoi(get("sample_rate").c_str());
        f.channels = std::atoi(get("channels").c_str());
        f.duration = std::atof(get("duration").c_str());
        break;
    }
    return f;
}

// Duration of the decoded stream (last packet end), independent of container metadata.
inline double DecodedDuration(const std::string& path, const std::string& type /* "v" or "a" */)
{
    std::string out = RunCapture("ffprobe -v error -select_streams " + type +
                                 " -show_entries packet=pts_time,duration_time -of csv=p=0 " + Quote(path));
    double end = 0;
    size_t pos = 0;
    while (pos < out.size()) {
        size_t eol = out.find('\n', pos);
        if (eol == std::string::npos)
            eol = out.size();
        std::string line = out.substr(pos, eol - pos);
        pos = eol + 1;
        size_t comma = line.find(',');
        if (comma == std::string::npos)
            continue;
        double t = std::atof(line.c_str()) + std::atof(line.c_str() + comma + 1);
        if (t > end)
            end = t;
    }
    return end;
}

// One decoded picture as packed RGB24 (the frame at time t, exact seek).
inline std::vector<uint8_t> DecodeRgb(const std::string& path, double t, int w, int h)
{
    char ss[64];
    std::snprintf(ss, sizeof ss, "%.3f", t);
    std::string out = RunCapture("ffmpeg -v error -i " + Quote(path) + " -ss " + ss +
                                 " -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
    std::vector<uint8_t> px(out.begin(), out.end());
    if (px.size() != size_t(w) * h * 3)
        px.clear();
    return px;
}

// Largest absolute 16-bit sample of the decoded sound.
inline int PeakSample(const std::string& path)
{
    std::string out = RunCapture("ffmpeg -v error -i " + Quote(path) + " -vn -f s16le -acodec pcm_s16le -");
    int peak = 0;
    for (size_t i = 0; i + 1 < out.size(); i += 2) {
        int v = int16_t(uint16_t(uint8_t(out[i])) | (uint16_t(uint8_t(out[i + 1])) << 8));
        peak = std::max(peak, std::abs(v));
    }
    return out.empty() ? -1 : peak;
}

} // namespace rmtest
