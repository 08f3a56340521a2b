// Disk images for the window tests, built with the image builder: one
// intact store among noise, so every message is recoverable.
#pragma once

#include <cstdint>
#include <fstream>

#include <QString>

#include "image_builder/image_builder.h"
#include "image_builder/message_factory.h"
#include "image_builder/store_builder.h"

namespace tolvan::testing {

// Writes an image of `messages` messages to path, with noiseBytes of noise
// before and after the store; returns the image's size in bytes.
inline uint64_t WriteStoreImage(const QString& path, int messages, uint64_t noiseBytes = 64 * 1024,
                                uint64_t seed = 1) {
    ostrel::builder::MessageFactory factory(seed);
    ostrel::builder::StoreBuilder store(seed + 1);
    for (int i = 0; i < messages; ++i) {
        ostrel::builder::MessageKinds kinds;
        kinds.bodyLength = 600;  // short messages: a few blocks each
        store.AddMessage(factory.Make(kinds));
    }
    ostrel::builder::ImageBuilder image(seed + 2);
    image.AppendNoise(noiseBytes, ostrel::builder::NoiseKind::Random);
    image.PlaceContiguous("Inbox.dbx", store, image.Size());
    image.AppendNoise(noiseBytes, ostrel::builder::NoiseKind::Random);
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.Bytes().data()), static_cast<std::streamsize>(image.Size()));
    return image.Size();
}

}  // namespace tolvan::testing
