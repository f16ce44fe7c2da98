// Throughput of the protocol core: the CRC, the device parameter frame and the
// network parameter block.
#include <benchmark/benchmark.h>

#include <numeric>
#include <vector>

#include "proto/frame.h"
#include "proto/crc16.h"
#include "proto/dev_params.h"
#include "proto/net_params.h"

using namespace vornik;

static void BM_Crc16Modbus(benchmark::State& state)
{
    std::vector<uint8_t> data(size_t(state.range(0)));
    std::iota(data.begin(), data.end(), uint8_t(0));
    for (auto _ : state) benchmark::DoNotOptimize(Crc16Modbus(data));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc16Modbus)->Arg(94)->Arg(1024)->Arg(64 * 1024);

static DeviceParams SampleParams()
{
    DeviceParams p;
    p.serverCount = 8;
    p.terminalAddress = 0x12345678;
    p.baudRate = 4800;
    p.dataBits = 8;
    p.stopBits = 1;
    p.channelAddress = {1, 2, 3, 4, 5, 6, 7, 8};
    p.tempUpperLimit.fill(999);
    p.humidityUpperLimit.fill(999);
    return p;
}

static void BM_BuildDeviceFrame(benchmark::State& state)
{
    const DeviceParams p = SampleParams();
    std::array<uint8_t, DEVICE_FRAME_SIZE> buf{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildDeviceFrame(buf, DEVICE_FUNC_WRITE, p));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BuildDeviceFrame);

static void BM_ParseDeviceFrame(benchmark::State& state)
{
    std::array<uint8_t, DEVICE_FRAME_SIZE> buf{};
    BuildDeviceFrame(buf, DEVICE_FUNC_WRITE, SampleParams());
    buf[DF_FUNCTION] = DEVICE_FUNC_READ;
    const uint16_t crc = Crc16Modbus(std::span(buf).first(DF_CRC));
    buf[DF_CRC] = uint8_t(crc & 0xFF);
    buf[DF_CRC + 1] = uint8_t(crc >> 8);
    DeviceParams out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseDeviceFrame(buf, out));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ParseDeviceFrame);

static void BM_EncodeNetworkParams(benchmark::State& state)
{
    NetworkParams p;
    p.ipMode = IP_MODE_STATIC;
    p.ipAddress = 0xC0A80009;
    for (auto& s : p.servers) StoreTargetAddress(s.targetAddress, "192.168.0.166");
    for (auto _ : state) benchmark::DoNotOptimize(EncodeNetworkParams(p));
}
BENCHMARK(BM_EncodeNetworkParams);

static void BM_DecodeNetworkParams(benchmark::State& state)
{
    NetworkParamsImage image;
    std::iota(image.begin(), image.end(), uint8_t(1));
    for (auto _ : state) benchmark::DoNotOptimize(DecodeNetworkParams(image));
}
BENCHMARK(BM_DecodeNetworkParams);

static void BM_NetworkWriteRequest(benchmark::State& state)
{
    const NetworkParamsImage image{};
    const MacAddress mac{0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD};
    for (auto _ : state) benchmark::DoNotOptimize(BuildNetworkWriteRequest(mac, image));
}
BENCHMARK(BM_NetworkWriteRequest);

BENCHMARK_MAIN();
