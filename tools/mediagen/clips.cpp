#include "clips.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "canvas.h"

namespace mediagen {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Note {
  double beat, length;
  int midi;
  double velocity = 1.0;
};

double Hz(int midi) {
  return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// "Happy Birthday to You" (public domain) in C, pickup on beat 0, bars from beat 1, 25 beats.
const std::vector<Note>& Melody() {
  static const std::vector<Note> tune = {
      {0, .75, 67},     {.75, .25, 67}, {1, 1, 69},      {2, 1, 67},       {3, 1, 72},
      {4, 2, 71},       {6, .75, 67},   {6.75, .25, 67}, {7, 1, 69},       {8, 1, 67},
      {9, 1, 74},       {10, 2, 72},    {12, .75, 67},   {12.75, .25, 67}, {13, 1, 79},
      {14, 1, 76},      {15, 1, 72},    {16, 1, 71},     {17, 1, 69},      {18, .75, 77},
      {18.75, .25, 77}, {19, 1, 76},    {20, 1, 72},     {21, 1, 74},      {22, 3, 72}};
  return tune;
}

struct Chord {
  double beat, length;
  int root;                // bass note
  std::vector<int> tones;  // chord tones around middle C
};

// One chord per bar, the last bar but one split so that the dominant leads home.
const std::vector<Chord>& Harmony() {
  static const std::vector<Chord> chords = {
      {1, 3, 48, {60, 64, 67}},  {4, 3, 43, {59, 62, 67}},  {7, 3, 43, {59, 62, 65}},
      {10, 3, 48, {60, 64, 67}}, {13, 3, 48, {58, 64, 67}}, {16, 3, 41, {60, 65, 69}},
      {19, 2, 48, {60, 64, 67}}, {21, 1, 43, {59, 62, 65}}, {22, 3, 48, {60, 64, 67}}};
  return chords;
}

// A voice adds one note, `seconds` long, at `start` into a float buffer.
using Voice = std::function<void(std::vector<float>& out, int rate, double start, double seconds,
                                 double freq, double gain)>;

// Adds amp * exp(-t / tau) * sin(2 pi f t) to `out` for `n` samples, with a rotating phasor
// and a running decay instead of a sine and an exponential per sample. tau <= 0: no decay.
void AddDecayingSine(std::vector<float>& out, std::size_t n, int rate, double f, double amp,
                     double tau) {
  const double w = 2 * kPi * f / rate, cr = std::cos(w), sr = std::sin(w);
  const double decay = tau > 0 ? std::exp(-1.0 / (tau * rate)) : 1.0;
  double c = 1, s = 0, a = amp;
  for (std::size_t i = 0; i < n && i < out.size(); ++i) {
    out[i] += float(a * s);
    const double c2 = c * cr - s * sr;
    s = s * cr + c * sr;
    c = c2;
    a *= decay;
  }
}

// Mixes a note rendered on its own into `out` from sample `s0` on.
void AddAt(std::vector<float>& out, std::size_t s0, const std::vector<float>& note, double gain) {
  for (std::size_t i = 0; i < note.size() && s0 + i < out.size(); ++i)
    out[s0 + i] += float(gain * note[i]);
}

// Fades the note from sample `from` on with time constant `tau`.
void Release(std::vector<float>& note, std::size_t from, int rate, double tau) {
  const double k = std::exp(-1.0 / (tau * rate));
  double g = 1;
  for (std::size_t i = from; i < note.size(); ++i) note[i] = float(note[i] * (g *= k));
}

void MusicBoxTine(std::vector<float>& out, int rate, double start, double seconds, double f,
                  double gain) {
  // A plucked steel tine: a long-ringing fundamental, a faint octave, and the tine's own
  // inharmonic overtones that die away fast and give the metallic attack.
  const double tau = 1.5 * std::sqrt(523.0 / f);
  std::vector<float> note(std::size_t((std::max(seconds, 0.0) + 5 * tau) * rate), 0.0f);
  const double nyquist = rate / 2.0 * 0.92;
  struct Partial {
    double ratio, amp, decay;
  };
  for (const Partial& p : {Partial{1, 1.0, 1.0}, Partial{2, 0.12, 0.45}, Partial{6.27, 0.22, 0.12},
                           Partial{17.55, 0.05, 0.04}})
    if (f * p.ratio < nyquist)
      AddDecayingSine(note, note.size(), rate, f * p.ratio, p.amp, tau * p.decay);
  const std::size_t attack = std::size_t(0.002 * rate);
  for (std::size_t i = 0; i < attack && i < note.size(); ++i)
    note[i] = float(note[i] * (0.5 - 0.5 * std::cos(kPi * double(i) / double(attack))));
  AddAt(out, std::size_t(start * rate), note, gain);
}

// A sample-exact beat clock with a ritardando: from `slow_from` on, each beat is a little
// longer than the one before.
struct Tempo {
  double seconds_per_beat, slow_from, slow_rate;
  double At(double beat) const {
    const double late = std::max(0.0, beat - slow_from);
    return seconds_per_beat * (beat + slow_rate * late * late / 2);
  }
};

}  // namespace

std::vector<std::uint8_t> MakeOpeningClip() {
  constexpr int kRate = 8000;
  std::vector<float> mix(kOpeningSamples + kRate, 0.0f);
  // An arpeggio to wind up the box, then four verses a beat apart, the last one slowing as
  // the spring runs down.
  const double verse_at[] = {4, 30, 56, 82};
  const Tempo tempo{62.0 / 110.75, 82, 0.012};
  auto play = [&](double beat, double length, int midi, double gain) {
    const double t0 = tempo.At(beat), t1 = tempo.At(beat + length);
    MusicBoxTine(mix, kRate, t0, t1 - t0, Hz(midi), gain);
  };
  const int intro[] = {72, 76, 79, 84};
  for (int i = 0; i < 4; ++i) play(i * 0.75, 1, intro[i], 0.5);
  for (int v = 0; v < 4; ++v) {
    const double at = verse_at[v];
    for (const Note& n : Melody()) play(at + n.beat, n.length, n.midi + 12, 0.8);
    for (const Chord& c : Harmony()) {
      play(at + c.beat, c.length, c.root + 12, 0.42);
      if (v == 0) continue;
      // From the second verse on, the box's comb also plucks the chord on the off-beats.
      for (double b = 1; b < c.length; ++b)
        for (int tone : c.tones) play(at + c.beat + b, 1, tone, v == 3 ? 0.16 : 0.12);
      if (v == 2) play(at + c.beat + 0.5, 0.5, c.tones.back() + 12, 0.14);
    }
  }
  // Final chord to ring out.
  for (int tone : {60, 64, 67, 72}) play(107, 4, tone + 12, 0.35);

  float peak = 0;
  for (std::size_t i = 0; i < kOpeningSamples; ++i) peak = std::max(peak, std::fabs(mix[i]));
  const double scale = 0.8 * 127 / peak;
  std::vector<std::uint8_t> wav;
  auto put32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) wav.push_back(std::uint8_t(v >> (8 * i)));
  };
  auto put16 = [&](std::uint16_t v) {
    wav.push_back(std::uint8_t(v & 0xFF));
    wav.push_back(std::uint8_t(v >> 8));
  };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) wav.push_back(std::uint8_t(t[i]));
  };
  tag("RIFF");
  put32(std::uint32_t(36 + kOpeningSamples));
  tag("WAVE");
  tag("fmt ");
  put32(16);
  put16(1);
  put16(1);
  put32(kRate);
  put32(kRate);
  put16(1);
  put16(8);
  tag("data");
  put32(std::uint32_t(kOpeningSamples));  // odd, and no pad byte follows
  Random rng(0x6d75736963626f78ull);
  const double fade_from = kOpeningSamples - 2.0 * kRate;
  for (std::size_t i = 0; i < kOpeningSamples; ++i) {
    double v = mix[i] * scale;
    if (i > fade_from) v *= 0.5 + 0.5 * std::cos(kPi * (i - fade_from) / (2.0 * kRate));
    // Triangular dither keeps the long decays smooth at eight bits.
    v += rng.Uniform(-0.5, 0.5) + rng.Uniform(-0.5, 0.5);
    wav.push_back(std::uint8_t(std::clamp(128 + int(std::lround(v)), 1, 255)));
  }
  return wav;
}

namespace {

constexpr int kFinaleRate = 44100;

struct Stereo {
  std::vector<float> left, right;
  explicit Stereo(std::size_t n) : left(n, 0.0f), right(n, 0.0f) {}
};

// Mono voices rendered into a scratch buffer and panned into the mix.
void AddPanned(Stereo& mix, const std::vector<float>& voice, double pan) {
  const double l = std::cos((pan + 1) * kPi / 4), r = std::sin((pan + 1) * kPi / 4);
  for (std::size_t i = 0; i < voice.size() && i < mix.left.size(); ++i) {
    mix.left[i] += float(voice[i] * l);
    mix.right[i] += float(voice[i] * r);
  }
}

void Bell(std::vector<float>& out, int rate, double start, double seconds, double f, double g) {
  (void)seconds;  // a bell rings out whatever the note's length
  struct Partial {
    double ratio, amp, decay;
  };
  const double tau = 1.1 * std::sqrt(880.0 / f);
  std::vector<float> note(std::size_t(5 * tau * rate), 0.0f);
  for (const Partial& p :
       {Partial{1, 1.0, 1.0}, Partial{2.0, 0.5, 0.6}, Partial{3.01, 0.25, 0.4},
        Partial{4.2, 0.18, 0.25}, Partial{5.43, 0.12, 0.15}, Partial{6.8, 0.06, 0.1}})
    if (f * p.ratio < 18000)
      AddDecayingSine(note, note.size(), rate, f * p.ratio, p.amp, tau * p.decay);
  const std::size_t attack = std::size_t(0.0015 * rate);
  for (std::size_t i = 0; i < attack && i < note.size(); ++i)
    note[i] = float(note[i] * double(i) / double(attack));
  AddAt(out, std::size_t(start * rate), note, g);
}

// A round, slightly reedy lead: odd and even harmonics falling off, a gentle vibrato that
// starts after the attack.
void Lead(std::vector<float>& out, int rate, double start, double seconds, double f, double g) {
  const std::size_t s0 = std::size_t(start * rate);
  const double release = 0.12, len = seconds * 0.92;
  const std::size_t n = std::size_t((len + release) * rate);
  double phase = 0;
  for (std::size_t i = 0; i < n && s0 + i < out.size(); ++i) {
    const double t = double(i) / rate;
    double env = std::min(1.0, t / 0.03) * (0.8 + 0.2 * std::exp(-t / 0.15));
    if (t > len) env *= std::exp(-(t - len) / (release / 4));
    const double vib = 1 + 0.004 * std::min(1.0, t / 0.3) * std::sin(2 * kPi * 5.5 * t);
    phase += 2 * kPi * f * vib / rate;
    // sin(h x) for every harmonic from one sine and cosine, by the Chebyshev recurrence.
    const double s1 = std::sin(phase), c1 = std::cos(phase);
    double prev = 0, cur = s1, v = 0;
    for (int h = 1; h <= 8 && f * h < 16000; ++h) {
      v += cur / (h * (h % 2 ? 1.0 : 1.8));
      const double next = 2 * c1 * cur - prev;
      prev = cur, cur = next;
    }
    out[s0 + i] += float(g * env * v * 0.6);
  }
}

void Pluck(std::vector<float>& out, int rate, double start, double seconds, double f, double g) {
  std::vector<float> note(std::size_t((seconds + 0.3) * rate), 0.0f);
  // Overtones fade faster than the fundamental: their decays combine with its 0.55 s.
  AddDecayingSine(note, note.size(), rate, f, 1.0, 0.55);
  AddDecayingSine(note, note.size(), rate, 2 * f, 0.35, 1 / (1 / 0.55 + 1 / 0.12));
  AddDecayingSine(note, note.size(), rate, 3 * f, 0.15, 1 / (1 / 0.55 + 1 / 0.06));
  const std::size_t attack = std::size_t(0.004 * rate);
  for (std::size_t i = 0; i < attack && i < note.size(); ++i)
    note[i] = float(note[i] * double(i) / double(attack));
  Release(note, std::size_t(seconds * rate), rate, 0.05);
  AddAt(out, std::size_t(start * rate), note, g);
}

// Short chord stabs of a soft organ for the waltz's "pah-pah".
void Organ(std::vector<float>& out, int rate, double start, double seconds, double f, double g) {
  std::vector<float> note(std::size_t((seconds + 0.15) * rate), 0.0f);
  // A steady tone with a short bloom at its start: 0.7 steady plus 0.3 fading in 0.2 s.
  for (const auto& [h, a] : {std::pair{1, 1.0}, {2, 0.5}, {3, 0.25}, {4, 0.12}}) {
    AddDecayingSine(note, note.size(), rate, h * f, 0.7 * a, 0);
    AddDecayingSine(note, note.size(), rate, h * f, 0.3 * a, 0.2);
  }
  const std::size_t attack = std::size_t(0.01 * rate);
  for (std::size_t i = 0; i < attack && i < note.size(); ++i)
    note[i] = float(note[i] * double(i) / double(attack));
  Release(note, std::size_t(seconds * rate), rate, 0.04);
  AddAt(out, std::size_t(start * rate), note, g);
}

void Kick(std::vector<float>& out, int rate, double start, double g) {
  const std::size_t s0 = std::size_t(start * rate), n = std::size_t(0.35 * rate);
  double phase = 0;
  for (std::size_t i = 0; i < n && s0 + i < out.size(); ++i) {
    const double t = double(i) / rate;
    phase += 2 * kPi * (48 + 110 * std::exp(-t / 0.03)) / rate;
    out[s0 + i] += float(g * std::exp(-t / 0.12) * std::sin(phase));
  }
}

void Noise(std::vector<float>& out, int rate, double start, double decay, double tone,
           double brightness, double g, Random& rng) {
  const std::size_t s0 = std::size_t(start * rate), n = std::size_t(decay * 6 * rate);
  double low = 0;
  for (std::size_t i = 0; i < n && s0 + i < out.size(); ++i) {
    const double t = double(i) / rate;
    const double white = rng.Uniform(-1, 1);
    low += (white - low) * (1 - brightness);
    const double hiss = white - low;  // high-passed noise
    double v = hiss * std::exp(-t / decay);
    if (tone > 0) v += 0.5 * std::sin(2 * kPi * tone * t) * std::exp(-t / 0.05);
    out[s0 + i] += float(g * v);
  }
}

// A small Schroeder reverb, different comb lengths per side for width.
void Reverb(Stereo& mix, double wet) {
  auto side = [wet](std::vector<float>& x, const int* combs, const int* allpass) {
    std::vector<float> y(x.size(), 0.0f);
    for (int c = 0; c < 4; ++c) {
      std::vector<float> buf(combs[c], 0.0f);
      std::size_t k = 0;
      for (std::size_t i = 0; i < x.size(); ++i) {
        const float out = buf[k];
        buf[k] = x[i] + out * 0.78f;
        y[i] += out * 0.25f;
        k = (k + 1) % buf.size();
      }
    }
    for (int a = 0; a < 2; ++a) {
      std::vector<float> buf(allpass[a], 0.0f);
      std::size_t k = 0;
      for (std::size_t i = 0; i < y.size(); ++i) {
        const float b = buf[k];
        const float in = y[i];
        buf[k] = in + b * 0.5f;
        y[i] = b - in * 0.5f;
        k = (k + 1) % buf.size();
      }
    }
    for (std::size_t i = 0; i < x.size(); ++i) x[i] += float(wet) * y[i];
  };
  const int combs_l[] = {1557, 1617, 1491, 1422}, combs_r[] = {1580, 1640, 1514, 1445};
  const int ap_l[] = {556, 441}, ap_r[] = {579, 464};
  side(mix.left, combs_l, ap_l);
  side(mix.right, combs_r, ap_r);
}

// The diatonic note `steps` scale degrees away from `midi` in the major key of `key`.
int Diatonic(int midi, int steps, int key) {
  static const int scale[] = {0, 2, 4, 5, 7, 9, 11};
  int rel = midi - key, octave = 0;
  while (rel < 0) rel += 12, --octave;
  octave += rel / 12;
  rel %= 12;
  int degree = 0;
  while (degree < 6 && scale[degree + 1] <= rel) ++degree;
  int d = degree + steps;
  int o = octave + (d >= 0 ? d / 7 : -((-d + 6) / 7));
  d = ((d % 7) + 7) % 7;
  return key + 12 * o + scale[d];
}

}  // namespace

std::vector<std::int16_t> RenderFinale() {
  const std::size_t n = kFinaleSamples;
  const int rate = kFinaleRate;
  // Verses start on their pickup; each verse cuts its last note to make room for the next
  // pickup. Keys: C, C, C, bridge, D, D, E.
  struct Section {
    double at;
    int transpose;
    int style;  // 0 bells, 1 lead, 2 lead and counter, 3 bridge, 4 full, 5 thirds, 6 finale
  };
  const std::vector<Section> sections = {{5, 0, 0},  {29, 0, 1},  {53, 0, 2}, {77, 0, 3},
                                         {89, 2, 4}, {113, 2, 5}, {137, 4, 6}};
  const double last_beat = 137 + 25 + 4;
  const double slow_from = 150, slow_rate = 0.01;
  const Tempo tempo{(100.95 - 3.2) / (last_beat + slow_rate * (last_beat - slow_from) *
                                                      (last_beat - slow_from) / 2),
                    slow_from, slow_rate};
  auto sec = [&](double beat) { return tempo.At(beat); };

  std::vector<float> bells(n, 0.0f), lead(n, 0.0f), bass(n, 0.0f), organ(n, 0.0f), kick(n, 0.0f),
      snare(n, 0.0f), hats(n, 0.0f);
  Random rng(0x666573746976616cull);
  auto note = [&](const Voice& v, std::vector<float>& out, double beat, double len, int midi,
                  double g) {
    const double t0 = sec(beat), t1 = sec(beat + len);
    v(out, rate, t0, t1 - t0, Hz(midi), g);
  };
  // Intro: two bars of waltz with a rising bell arpeggio.
  for (int bar = 0; bar < 2; ++bar) {
    const double b = -1 + 3 * bar;
    note(Pluck, bass, b + 1, 1, 36, 0.5);
    for (int tone : {60, 64, 67})
      note(Organ, organ, b + 2, 0.5, tone, 0.08), note(Organ, organ, b + 3, 0.5, tone, 0.08);
  }
  for (int i = 0; i < 8; ++i) note(Bell, bells, 0.5 * i, 0.5, Diatonic(72, i, 60), 0.18);

  for (const Section& s : sections) {
    const int key = 60 + s.transpose;
    if (s.style == 3) {
      // Bridge: C Am F G with bells rippling over the chords.
      const int roots[] = {36, 45, 41, 43};
      const std::vector<int> tones[] = {{60, 64, 67}, {57, 60, 64}, {57, 60, 65}, {59, 62, 67}};
      for (int bar = 0; bar < 4; ++bar) {
        const double b = s.at + 1 + 3 * bar - 1;
        note(Pluck, bass, b, 1, roots[bar], 0.5);
        for (int k = 1; k < 3; ++k)
          for (int t : tones[bar]) note(Organ, organ, b + k, 0.5, t, 0.07);
        for (int k = 0; k < 6; ++k)
          note(Bell, bells, b + 0.5 * k, 0.5, tones[bar][k % 3] + 12 + (k >= 3 ? 12 : 0), 0.12);
        Kick(kick, rate, sec(b), 0.5);
      }
      for (int k = 0; k < 6; ++k)
        Noise(snare, rate, sec(s.at + 9 + 0.5 * k), 0.05, 190, 0.2, 0.2 + 0.05 * k, rng);
      continue;
    }
    const bool last = s.style == 6;
    for (const Note& m : Melody()) {
      double len = m.length;
      if (!last && m.beat >= 22) len = 2;
      const int pitch = m.midi + s.transpose;
      const double b = s.at + m.beat;
      switch (s.style) {
        case 0:
          note(Bell, bells, b, len, pitch + 12, 0.3);
          break;
        case 1:
          note(Lead, lead, b, len, pitch, 0.3);
          if (m.length >= 1) note(Bell, bells, b, len, pitch + 24, 0.08);
          break;
        case 2:
          note(Lead, lead, b, len, pitch, 0.3);
          break;
        case 5:
          note(Bell, bells, b, len, pitch + 12, 0.22);
          note(Lead, lead, b, len, Diatonic(pitch, -2, key), 0.2);
          note(Lead, lead, b, len, pitch, 0.22);
          break;
        default:
          note(Lead, lead, b, len, pitch, 0.3);
          note(Bell, bells, b, len, pitch + 12, 0.15);
          break;
      }
    }
    for (const Chord& c : Harmony()) {
      const double b = s.at + c.beat;
      double len = c.length;
      if (!last && c.beat >= 22) len = 2;
      note(Pluck, bass, b, 1, c.root + s.transpose - 12 + 12, 0.5);
      for (double k = 1; k < len; ++k)
        for (int t : c.tones) note(Organ, organ, b + k, 0.5, t + s.transpose, 0.07);
      if (s.style == 2 || s.style == 4 || s.style == 6) {
        // A counter-line of chord tones in eighths, high in the bells.
        for (int k = 0; k < int(len * 2); ++k)
          note(Bell, bells, b + 0.5 * k, 0.5,
               c.tones[(k + 1) % 3] + s.transpose + 12 + (k % 4 == 3 ? 12 : 0), 0.07);
      }
      if (s.style >= 1) {
        for (double k = 0; k < len; ++k) {
          if (k == 0) Kick(kick, rate, sec(b), 0.6);
          if (k > 0 && s.style >= 2) Noise(snare, rate, sec(b + k), 0.06, 200, 0.25, 0.16, rng);
          Noise(hats, rate, sec(b + k + 0.5), 0.012, 0, 0.02, 0.08, rng);
          if (k > 0) Noise(hats, rate, sec(b + k), 0.01, 0, 0.02, 0.06, rng);
        }
      }
    }
    if (last) {
      // The big ending: a rolled chord over the tonic, a bell cascade, a soft crash.
      const double end = s.at + 25;
      for (int i = 0; i < 4; ++i)
        note(Organ, organ, end - 3 + 0.1 * i, 4, Diatonic(key, 2 * i, key), 0.07);
      note(Pluck, bass, end - 3, 4, key - 24, 0.6);
      for (int i = 0; i < 12; ++i)
        note(Bell, bells, end - 3 + 0.25 * i, 1, Diatonic(key + 12, 14 - i, key), 0.1);
      Noise(hats, rate, sec(end - 3), 0.5, 0, 0.05, 0.12, rng);
      Kick(kick, rate, sec(end - 3), 0.7);
    }
  }

  Stereo mix(n);
  AddPanned(mix, bells, 0.35);
  AddPanned(mix, lead, -0.15);
  AddPanned(mix, bass, 0.0);
  AddPanned(mix, organ, -0.4);
  AddPanned(mix, kick, 0.0);
  AddPanned(mix, snare, 0.1);
  AddPanned(mix, hats, 0.45);
  Reverb(mix, 0.35);
  float peak = 0;
  for (std::size_t i = 0; i < n; ++i)
    peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
  const double scale = 0.89 * 32767 / peak;
  std::vector<std::int16_t> pcm(2 * n);
  const double fade_from = n - 1.5 * rate;
  for (std::size_t i = 0; i < n; ++i) {
    double g = scale;
    if (i < 64) g *= i / 64.0;
    if (i > fade_from) g *= 0.5 + 0.5 * std::cos(kPi * (i - fade_from) / (1.5 * rate));
    pcm[2 * i] = std::int16_t(std::lround(std::clamp(mix.left[i] * g, -32767.0, 32767.0)));
    pcm[2 * i + 1] = std::int16_t(std::lround(std::clamp(mix.right[i] * g, -32767.0, 32767.0)));
  }
  return pcm;
}

std::string Mp3EncoderVersion() {
  return std::string("LAME") + get_lame_short_version();
}

std::optional<std::vector<std::uint8_t>> MakeFinaleClip(std::string* error) {
  const std::vector<std::int16_t> pcm = RenderFinale();
  lame_global_flags* gf = lame_init();
  if (gf == nullptr) {
    *error = "the MP3 encoder does not start";
    return std::nullopt;
  }
  lame_set_in_samplerate(gf, kFinaleRate);
  lame_set_out_samplerate(gf, kFinaleRate);
  lame_set_num_channels(gf, 2);
  lame_set_mode(gf, STEREO);
  lame_set_VBR(gf, vbr_off);
  lame_set_brate(gf, 256);
  lame_set_bWriteVbrTag(gf, 1);
  lame_set_original(gf, 0);
  lame_set_copyright(gf, 0);
  lame_set_error_protection(gf, 0);
  lame_set_write_id3tag_automatic(gf, 0);
  if (lame_init_params(gf) < 0) {
    lame_close(gf);
    *error = "the MP3 encoder refuses the settings";
    return std::nullopt;
  }
  std::vector<std::uint8_t> out;
  std::vector<unsigned char> buf(1 << 20);
  const std::size_t frames = pcm.size() / 2;
  constexpr std::size_t kChunk = 44100;
  for (std::size_t at = 0; at < frames; at += kChunk) {
    const int count = int(std::min(kChunk, frames - at));
    std::vector<short> interleaved(pcm.begin() + long(2 * at),
                                   pcm.begin() + long(2 * (at + count)));
    const int got =
        lame_encode_buffer_interleaved(gf, interleaved.data(), count, buf.data(), int(buf.size()));
    if (got < 0) break;
    out.insert(out.end(), buf.begin(), buf.begin() + got);
  }
  const int tail = lame_encode_flush(gf, buf.data(), int(buf.size()));
  if (tail > 0) out.insert(out.end(), buf.begin(), buf.begin() + tail);
  // The encoder reserved the first frame; it now gets the Info header.
  const std::size_t tag = lame_get_lametag_frame(gf, buf.data(), buf.size());
  lame_close(gf);
  if (tag == 0 || tag > out.size()) {
    *error = "the MP3 encoder wrote no Info header";
    return std::nullopt;
  }
  std::copy(buf.begin(), buf.begin() + long(tag), out.begin());
  return out;
}

}  // namespace mediagen
