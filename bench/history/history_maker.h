// A settings history as months of work leave it: each device read, then
// written (the blocks before and the read-back after, one field or two
// changed), round after round, a second apart. For the benchmarks of the
// listing, the pruning and the window's history dialog.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/store.h"

namespace vornik::bench {

// The device's MAC: 02-00-00 and its index.
inline MacAddress DeviceMac(size_t device)
{
    return {0x02, 0x00, 0x00, uint8_t(device >> 16), uint8_t(device >> 8), uint8_t(device)};
}

// `events` events over `devices` devices from `startMs` on, into a new file
// at `path`; why not, when it could not be made.
inline std::optional<std::string> MakeHistory(const std::string& path, size_t events, size_t devices, int64_t startMs)
{
    auto opened = history::Store::Open(path);
    if (auto* error = std::get_if<history::Error>(&opened)) return error->message;
    history::Store& store = std::get<history::Store>(opened);
    std::vector<history::Event> batch;
    batch.reserve(10000);
    for (size_t i = 0; i < events; ++i) {
        const size_t device = i % devices;
        const size_t round = i / devices; // 0: read, then before and after of write after write
        history::Event e;
        e.timeMs = startMs + int64_t(i) * 1000;
        e.mac = DeviceMac(device);
        e.ip = 0x0A000000 | uint32_t(device + 1);
        e.program = round % 7 == 3 ? "Vornik_Setup" : "vornikctl";
        e.operation = round == 0 ? "read" : "apply";
        e.stage = round == 0 ? history::Stage::Read : round % 2 ? history::Stage::Before : history::Stage::After;
        // A write changes the target port and the heartbeat; its read-back shows them.
        const size_t writes = round == 0 ? 0 : (round + 1) / 2 - (round % 2 ? 1 : 0);
        NetworkParams net;
        net.ipAddress = e.ip;
        net.subnetMask = 0xFFFFFF00;
        net.gateway = 0x0A0000FE;
        net.maxConnections = 4;
        net.servers[0].localPort = 502;
        net.servers[0].targetPort = uint16_t(10000 + writes % 50000);
        const char target[] = "collector.example";
        for (size_t k = 0; k + 1 < sizeof target; ++k) net.servers[0].targetAddress[k] = uint8_t(target[k]);
        DeviceParams dev;
        dev.terminalAddress = uint32_t(0x10000000 + device);
        dev.serverCount = 1;
        dev.loginInterval = 60;
        dev.heartbeatInterval = uint16_t(30 + writes % 200);
        dev.uploadInterval = 300;
        dev.baudRate = 9600;
        dev.dataBits = 8;
        dev.stopBits = 1;
        dev.modbusTerminalCount = 1;
        e.network = EncodeNetworkParams(net);
        e.device = EncodeDeviceBlock(dev);
        batch.push_back(std::move(e));
        if (batch.size() == batch.capacity() || i + 1 == events) {
            if (auto error = store.RecordAll(batch)) return error->message;
            batch.clear();
        }
    }
    return std::nullopt;
}

} // namespace vornik::bench
