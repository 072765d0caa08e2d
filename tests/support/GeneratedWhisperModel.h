#pragma once

#include <QList>
#include <QString>

// Writes a whisper model file in the real ggml format with random weights: whisper.cpp
// loads it and runs a full transcription, which returns meaningless text. Enough to drive
// the whole pipeline without a downloaded model. Shared by the tests and the benchmark.
struct WhisperModelShape {
    int vocabulary = 51865; // multilingual
    int audioContext = 1500;
    int audioState = 64;
    int audioHeads = 2;
    int audioLayers = 1;
    int textContext = 24; // whisper decodes at most textContext / 2 - 4 tokens per window
    int textState = 64;
    int textHeads = 2;
    int textLayers = 1;
    int mels = 80;
    bool halfPrecision = true; // as published; whisper.cpp cannot run 32-bit convolution weights
    // The 2-D weights quantized as in the published quantized models (the rest 16-bit).
    enum class Quantization { none, q5_1, q8_0 };
    Quantization quantization = Quantization::none;
    // Non-empty: the decoder ignores the audio and writes exactly these vocabulary entries
    // (each the text " w<id>") between a start and an end timestamp, in one pass, so that
    // a transcription is quick and its text known ("w1000 w1001 ..."). Empty: random
    // weights throughout, as for measuring speed. Needs textContext > script size + 5.
    QList<int> script;

    // Small enough to load and run in well under a second.
    static WhisperModelShape tiny()
    {
        WhisperModelShape shape;
        shape.script = { 1000, 1001, 1002, 1003 };
        return shape;
    }
    // The dimensions of the published base model (74 M parameters, 16-bit weights).
    static WhisperModelShape base()
    {
        WhisperModelShape shape;
        shape.audioState = shape.textState = 512;
        shape.audioHeads = shape.textHeads = 8;
        shape.audioLayers = shape.textLayers = 6;
        shape.textContext = 448;
        return shape;
    }
};

bool writeGeneratedWhisperModel(const QString& path, const WhisperModelShape& shape, unsigned seed = 1);
