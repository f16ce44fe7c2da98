// The two pages and the blocks they show: a block into the page's controls,
// the page's texts back into a block (converted as the write converts them),
// the check each typed field must pass, and where the values came from.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ops/control_ops.h"
#include "ops/page_checks.h"
#include "proto/dev_params.h"
#include "proto/net_params.h"
#include "settings/patch.h"

namespace vornik {

// Where the values a page shows came from: the device whose reply filled it
// (as the list showed it when it was chosen), or none (the start-up values, a
// settings file, the history).
struct PageSource {
    bool fromDevice = false;
    MacAddress mac{};
    uint32_t ip = 0; // host order
    // A settings file or a state from the history: values the operator chose
    // for whichever device is chosen, unlike the start-up values.
    bool chosenByOperator = false;
};

class PageValues {
public:
    // `network` and `device` are the images a write starts from.
    PageValues(NetworkParams& network, DeviceParams& device, IControlOps& netPage, IControlOps& devPage)
        : m_network(network), m_device(device), m_net(netPage), m_dev(devPage)
    {
    }

    void SetStartupValues();
    void ShowNetwork(const NetworkParams& params);
    void ShowDevice(const DeviceParams& params);
    // The network block starts from the image of the last reply, so the bytes
    // the page does not show are those a write sends.
    NetworkParams NetworkValues() const;
    // Empty when the terminal address is not eight bytes long, which the write refuses.
    std::optional<DeviceParams> DeviceValues() const;
    void ApplyIpModeRule();

    // `elsewhere936`: the label's whole text for values no device gave (a
    // file, the history); empty for the start-up values.
    void SetSource(settings::Block block, const PageSource& now, const std::string& elsewhere936 = {});
    const PageSource& NetworkSource() const { return m_networkSource; }
    const PageSource& DeviceSource() const { return m_deviceSource; }
    // A device seen under the MAC it was given: the pages it filled are its own under that MAC.
    void FollowMac(const MacAddress& from, const MacAddress& to, uint32_t ip);

    // Shows the box for the first field of the page whose text its check
    // refuses; true when there was one, and then nothing may be sent.
    bool Refuses(settings::Block block);
    // "label：“text”无效，应为…" (code page 936) for the first refused field.
    std::optional<std::string> Refusal936(settings::Block block) const;

    struct Imported {
        std::optional<std::string> refusal936; // the pages are as they were
        bool wholeDeviceBlock = false;         // every field of the device block given
    };
    // A settings file's changes into the pages (see DeviceOps::ImportPatch).
    Imported Import(const settings::Patch& patch, const std::string& fileName936);

private:
    IControlOps& Page(settings::Block block) const { return block == settings::Block::Network ? m_net : m_dev; }
    // The first field of the page whose text its check refuses, passing over
    // those `skip` names; null when every one passes.
    const PageField* FirstRefused(settings::Block block, const std::function<bool(const PageField&)>& skip) const;
    // Why the page's text of the field is refused (code page 936), without an ending.
    std::string RefusalSentence(settings::Block block, const PageField& field) const;

    NetworkParams& m_network;
    DeviceParams& m_device;
    IControlOps& m_net;
    IControlOps& m_dev;
    PageSource m_networkSource;
    PageSource m_deviceSource;

    // Each target address as the last network reply filled it: the text the
    // field then gave back and the reply's bytes.
    struct FilledTarget {
        bool valid = false;
        std::string text;
        std::array<uint8_t, TARGET_ADDRESS_SIZE> bytes{};
    };
    std::array<FilledTarget, SERVER_COUNT> m_targetFilled{};
};

} // namespace vornik
