-- Wireshark dissector for Vornik multi-probe temperature/humidity devices
-- (UDP port 1901). Names every field of every frame: the outer header and its
-- checksum, the search and its reply, the network parameter block with its
-- eight server entries, the MAC write, the factory defaults, and the device
-- parameter frame with its CRC-16/MODBUS. A wrong CRC, or a wrong checksum
-- of a request, is an expert-info error. A reply is decoded as vornikctl and
-- the window read it, from the datagram whatever its length field says; they
-- check no outer sum on a reply, so a missing or differing one is a note.
--
-- Use: copy to a Lua plugin folder (the package puts it in Wireshark's global
-- plugin folder), or `tshark -X lua_script:vornik.lua ...`. Traffic on other
-- ports: `-d udp.port==40001,vornik`.

local bitops = bit32 or bit

local vornik = Proto("vornik", "Vornik multi-probe device protocol")

local FRAME_REQUEST = 0xAA
local FRAME_REPLY = 0x55
local HEADER_SIZE = 4          -- marker, two length bytes, command
local MAC_OFFSET = 4
local PAYLOAD_OFFSET = 10      -- after the header and the MAC address
local NETWORK_BLOCK_SIZE = 292
local SERVER_COUNT = 8
local SERVER_ENTRY_SIZE = 34
local TARGET_ADDRESS_SIZE = 30
local DEVICE_FRAME_START = 0x7E
local DEVICE_BLOCK_FRAME_SIZE = 96
local CHANNEL_COUNT = 8

local markers = { [FRAME_REQUEST] = "request", [FRAME_REPLY] = "reply" }
local commands = {
    [0x02] = "search",
    [0x03] = "read network parameters",
    [0x04] = "write network parameters",
    [0x06] = "factory defaults",
    [0x0A] = "device parameters",
    [0x0B] = "device parameters 0x0B",
    [0x0F] = "write MAC address",
}
local functions = { [0x10] = "read", [0x11] = "write" }
local ip_modes = { [0] = "DHCP/autoIP", [1] = "StaticIP" }
local work_modes = {
    [0] = "温湿度探头",
    [1] = "Modbus温湿度传感器",
    [2] = "0-5V温湿度变送器",
    [3] = "0-10V温湿度变送器",
    [4] = "0-10mA温湿度变送器",
    [5] = "4-20mA温湿度变送器",
}
local parities = { [0] = "NONE", [1] = "ODD", [2] = "EVEN" }

local f = {
    marker = ProtoField.uint8("vornik.marker", "Marker", base.HEX, markers),
    length = ProtoField.uint16("vornik.length", "Length", base.DEC),
    command = ProtoField.uint8("vornik.command", "Command", base.HEX, commands),
    mac = ProtoField.ether("vornik.mac", "MAC address"),
    checksum = ProtoField.uint8("vornik.checksum", "Checksum", base.HEX),
    checksum_good = ProtoField.bool("vornik.checksum.good", "Checksum good"),
    trailing = ProtoField.bytes("vornik.trailing", "Bytes after the frame"),

    search_unused = ProtoField.bytes("vornik.search.unused", "Unused"),
    search_ip = ProtoField.ipv4("vornik.search.ip", "Device IP address"),
    search_mac = ProtoField.ether("vornik.search.mac", "Device MAC address"),
    search_firmware = ProtoField.uint16("vornik.search.firmware", "Firmware version", base.DEC),

    new_mac = ProtoField.ether("vornik.new_mac", "New MAC address"),

    net = ProtoField.bytes("vornik.net", "Network parameters"),
    net_ip_mode = ProtoField.uint8("vornik.net.ip_mode", "IP mode", base.HEX),
    net_static = ProtoField.uint8("vornik.net.static", "Static IP", base.DEC, ip_modes, 0x80),
    net_ip = ProtoField.ipv4("vornik.net.ip", "IP address"),
    net_gateway = ProtoField.ipv4("vornik.net.gateway", "Gateway"),
    net_mask = ProtoField.ipv4("vornik.net.mask", "Subnet mask"),
    net_carried = ProtoField.bytes("vornik.net.carried", "Carried bytes"),
    net_max_connections = ProtoField.uint8("vornik.net.max_connections", "Maximum connections", base.DEC),
    server = ProtoField.uint8("vornik.net.server", "Server", base.DEC),
    server_local_port = ProtoField.uint16("vornik.net.server.local_port", "Local port", base.DEC),
    server_target_port = ProtoField.uint16("vornik.net.server.target_port", "Target port", base.DEC),
    server_target_address = ProtoField.string("vornik.net.server.target_address", "Target address"),

    dev = ProtoField.bytes("vornik.dev", "Device frame"),
    dev_start = ProtoField.uint8("vornik.dev.start", "Start mark", base.HEX),
    dev_function = ProtoField.uint8("vornik.dev.function", "Function", base.HEX, functions),
    dev_server_count = ProtoField.uint8("vornik.dev.server_count", "Server count", base.DEC),
    dev_terminal_address = ProtoField.uint32("vornik.dev.terminal_address", "Terminal address", base.HEX),
    dev_login_interval = ProtoField.uint16("vornik.dev.login_interval", "Login interval (s)", base.DEC),
    dev_heartbeat_interval = ProtoField.uint16("vornik.dev.heartbeat_interval", "Heartbeat interval (s)", base.DEC),
    dev_upload_interval = ProtoField.uint16("vornik.dev.upload_interval", "Upload interval (s)", base.DEC),
    dev_work_mode = ProtoField.uint8("vornik.dev.work_mode", "Work mode", base.DEC, work_modes),
    dev_baud_rate = ProtoField.uint32("vornik.dev.baud_rate", "Baud rate", base.DEC),
    dev_data_bits = ProtoField.uint8("vornik.dev.data_bits", "Data bits", base.DEC),
    dev_parity = ProtoField.uint8("vornik.dev.parity", "Parity", base.DEC, parities),
    dev_stop_bits = ProtoField.uint8("vornik.dev.stop_bits", "Stop bits", base.DEC),
    dev_modbus_terminals = ProtoField.uint8("vornik.dev.modbus_terminal_count", "Modbus terminal count", base.DEC),
    channel = ProtoField.uint8("vornik.dev.channel", "Channel", base.DEC),
    channel_address = ProtoField.uint8("vornik.dev.channel.address", "Address", base.DEC),
    temp_upper = ProtoField.int16("vornik.dev.channel.temp_upper", "Temperature upper limit (0.1 °C)", base.DEC),
    temp_lower = ProtoField.int16("vornik.dev.channel.temp_lower", "Temperature lower limit (0.1 °C)", base.DEC),
    humidity_upper = ProtoField.uint16("vornik.dev.channel.humidity_upper", "Humidity upper limit (0.1 %RH)", base.DEC),
    humidity_lower = ProtoField.uint16("vornik.dev.channel.humidity_lower", "Humidity lower limit (0.1 %RH)", base.DEC),
    dev_extra = ProtoField.bytes("vornik.dev.extra", "Further bytes"),
    dev_crc = ProtoField.uint16("vornik.dev.crc", "CRC-16/MODBUS", base.HEX),
    dev_crc_good = ProtoField.bool("vornik.dev.crc.good", "CRC good"),
}
local field_list = {}
for _, field in pairs(f) do field_list[#field_list + 1] = field end
vornik.fields = field_list

local e = {
    bad_checksum = ProtoExpert.new("vornik.checksum.bad", "Bad checksum", expert.group.CHECKSUM, expert.severity.ERROR),
    bad_crc = ProtoExpert.new("vornik.dev.crc.bad", "Bad CRC-16/MODBUS", expert.group.CHECKSUM, expert.severity.ERROR),
    bad_length = ProtoExpert.new("vornik.length.bad", "Length field does not match the datagram",
        expert.group.MALFORMED, expert.severity.WARN),
    short = ProtoExpert.new("vornik.short", "Frame too short", expert.group.MALFORMED, expert.severity.ERROR),
    bad_start = ProtoExpert.new("vornik.dev.start.bad", "Device frame does not start with 0x7E",
        expert.group.MALFORMED, expert.severity.ERROR),
    reply_no_sum = ProtoExpert.new("vornik.reply.no_sum", "Reply without a trailing sum (none is checked)",
        expert.group.PROTOCOL, expert.severity.NOTE),
    reply_sum = ProtoExpert.new("vornik.reply.sum_differs", "Reply sum differs (none is checked)",
        expert.group.CHECKSUM, expert.severity.NOTE),
    reply_length = ProtoExpert.new("vornik.reply.length", "Reply length field does not match the datagram",
        expert.group.PROTOCOL, expert.severity.NOTE),
}
vornik.experts = { e.bad_checksum, e.bad_crc, e.bad_length, e.short, e.bad_start, e.reply_no_sum, e.reply_sum,
    e.reply_length }

-- Where the fields the programs read from a reply end, by command: the sum,
-- when there is one, is the byte after them.
local REPLY_READ_END = {
    [0x02] = 20,                                  -- search: address, MAC, firmware
    [0x03] = PAYLOAD_OFFSET + NETWORK_BLOCK_SIZE, -- network read
    [0x04] = PAYLOAD_OFFSET,                      -- acknowledgements: the MAC
    [0x06] = PAYLOAD_OFFSET,
    [0x0F] = PAYLOAD_OFFSET,
}

-- Sum modulo 256 of the bytes from the command byte to the last payload byte.
local function frame_sum8(range)
    local sum = 0
    for i = 0, range:len() - 1 do sum = (sum + range(i, 1):uint()) % 256 end
    return sum
end

-- CRC-16/MODBUS: reflected polynomial 0xA001, start 0xFFFF, no final XOR.
local function crc16_modbus(range)
    local crc = 0xFFFF
    for i = 0, range:len() - 1 do
        crc = bitops.bxor(crc, range(i, 1):uint())
        for _ = 1, 8 do
            if bitops.band(crc, 1) == 1 then
                crc = bitops.bxor(bitops.rshift(crc, 1), 0xA001)
            else
                crc = bitops.rshift(crc, 1)
            end
        end
    end
    return crc
end

local function tenths(value) -- signed or unsigned tenths as text
    local sign = value < 0 and "-" or ""
    local v = math.abs(value)
    return string.format("%s%d.%d", sign, math.floor(v / 10), v % 10)
end

-- Addresses are 32-bit little-endian values, so the wire holds the dotted
-- numbers last first.
local function add_address(tree, field, range)
    return tree:add_le(field, range)
end

local function dissect_network_block(block, tree)
    local t = tree:add(f.net, block)
    t:set_text(string.format("Network parameters (%d bytes)", block:len()))
    local mode = t:add(f.net_ip_mode, block(0, 1))
    mode:add(f.net_static, block(0, 1))
    add_address(t, f.net_ip, block(1, 4))
    add_address(t, f.net_gateway, block(5, 4))
    add_address(t, f.net_mask, block(9, 4))
    t:add(f.net_carried, block(13, 6))
    t:add(f.net_max_connections, block(19, 1))
    for s = 0, SERVER_COUNT - 1 do
        local entry = block(20 + s * SERVER_ENTRY_SIZE, SERVER_ENTRY_SIZE)
        local st = t:add(f.server, entry, s + 1)
        local address = entry(4, TARGET_ADDRESS_SIZE):stringz(ENC_GB18030)
        st:set_text(string.format("Server %d: %s:%d (local port %d)", s + 1, address,
            entry(2, 2):le_uint(), entry(0, 2):le_uint()))
        st:add_le(f.server_local_port, entry(0, 2))
        st:add_le(f.server_target_port, entry(2, 2))
        st:add(f.server_target_address, entry(4, TARGET_ADDRESS_SIZE), address)
    end
end

local function dissect_device_frame(frame, tree, pinfo)
    local t = tree:add(f.dev, frame)
    local n = frame:len()
    if n < 4 then
        t:add_proto_expert_info(e.short, string.format("Device frame of %d bytes", n))
        return
    end
    local start = t:add(f.dev_start, frame(0, 1))
    if frame(0, 1):uint() ~= DEVICE_FRAME_START then start:add_proto_expert_info(e.bad_start) end
    local func = frame(1, 1):uint()
    t:add(f.dev_function, frame(1, 1))
    t:set_text(string.format("Device frame, %s (%d bytes)", functions[func] or string.format("function 0x%02X", func), n))

    if n == DEVICE_BLOCK_FRAME_SIZE then
        t:add(f.dev_server_count, frame(2, 1))
        t:add_le(f.dev_terminal_address, frame(3, 4))
        t:add_le(f.dev_login_interval, frame(7, 2))
        t:add_le(f.dev_heartbeat_interval, frame(9, 2))
        t:add_le(f.dev_upload_interval, frame(11, 2))
        t:add(f.dev_work_mode, frame(13, 1))
        t:add_le(f.dev_baud_rate, frame(14, 4))
        t:add(f.dev_data_bits, frame(18, 1))
        t:add(f.dev_parity, frame(19, 1))
        t:add(f.dev_stop_bits, frame(20, 1))
        t:add(f.dev_modbus_terminals, frame(21, 1))
        for c = 0, CHANNEL_COUNT - 1 do
            local limits = frame(30 + 8 * c, 8)
            local ct = t:add(f.channel, limits, c + 1)
            ct:set_text(string.format("Channel %d: address %d, temperature %s to %s, humidity %s to %s", c + 1,
                frame(22 + c, 1):uint(), tenths(limits(2, 2):le_int()), tenths(limits(0, 2):le_int()),
                tenths(limits(6, 2):le_uint()), tenths(limits(4, 2):le_uint())))
            ct:add(f.channel_address, frame(22 + c, 1))
            ct:add_le(f.temp_upper, limits(0, 2)):append_text(" = " .. tenths(limits(0, 2):le_int()))
            ct:add_le(f.temp_lower, limits(2, 2)):append_text(" = " .. tenths(limits(2, 2):le_int()))
            ct:add_le(f.humidity_upper, limits(4, 2)):append_text(" = " .. tenths(limits(4, 2):le_uint()))
            ct:add_le(f.humidity_lower, limits(6, 2)):append_text(" = " .. tenths(limits(6, 2):le_uint()))
        end
    elseif n > 4 then
        t:add(f.dev_extra, frame(2, n - 4))
    end

    local stored = frame(n - 2, 2):le_uint()
    local computed = crc16_modbus(frame(0, n - 2))
    local crc = t:add_le(f.dev_crc, frame(n - 2, 2))
    t:add(f.dev_crc_good, frame(n - 2, 2), stored == computed):set_generated()
    if stored ~= computed then
        crc:add_proto_expert_info(e.bad_crc, string.format("Bad CRC-16/MODBUS 0x%04X, should be 0x%04X", stored, computed))
        pinfo.cols.info:append(" [BAD CRC]")
    end
end

function vornik.dissector(tvb, pinfo, tree)
    local len = tvb:len()
    if len < 1 then return 0 end
    local marker = tvb(0, 1):uint()
    if marker ~= FRAME_REQUEST and marker ~= FRAME_REPLY then return 0 end
    pinfo.cols.protocol = "VORNIK"

    local t = tree:add(vornik, tvb())
    t:add(f.marker, tvb(0, 1))
    if len < HEADER_SIZE + 1 then
        t:add_proto_expert_info(e.short, string.format("Frame of %d bytes", len))
        pinfo.cols.info:set(string.format("%s, %d bytes (too short)", markers[marker], len))
        return len
    end
    local lengthField = tvb(1, 2):uint()
    local command = tvb(3, 1):uint()
    local request = marker == FRAME_REQUEST
    local deviceReply = not request and (command == 0x0A or command == 0x0B)
    local lengthItem = t:add(f.length, tvb(1, 2))
    t:add(f.command, tvb(3, 1))
    local name = commands[command] or string.format("command 0x%02X", command)
    pinfo.cols.info:set(string.format("%s %s", name, markers[marker]))
    t:append_text(string.format(", %s %s", name, markers[marker]))

    -- Device-parameter replies carry the inner frame's length; everything
    -- else counts the command and the payload.
    local frameEnd -- offset of the checksum byte
    local readEnd = not request and REPLY_READ_END[command]
    if readEnd then
        -- The fields are read from the datagram; the length field only says
        -- where the device meant its sum to be.
        frameEnd = readEnd
        local meant = HEADER_SIZE - 1 + lengthField
        if meant ~= readEnd and meant ~= len - 1 then
            lengthItem:add_proto_expert_info(e.reply_length, string.format(
                "Length %d means a datagram of %d bytes, not %d", lengthField, lengthField + HEADER_SIZE, len))
        end
    elseif deviceReply then
        frameEnd = PAYLOAD_OFFSET + lengthField
        if frameEnd >= len then
            lengthItem:add_proto_expert_info(e.bad_length, string.format(
                "Device frame of %d bytes does not fit a datagram of %d", lengthField, len))
            frameEnd = len - 1
        end
    else
        frameEnd = HEADER_SIZE - 1 + lengthField
        if frameEnd ~= len - 1 then
            lengthItem:add_proto_expert_info(e.bad_length, string.format(
                "Length %d means a datagram of %d bytes, not %d", lengthField, lengthField + HEADER_SIZE, len))
            if frameEnd > len - 1 then frameEnd = len - 1 end
        end
    end

    local bodyEnd = readEnd and math.min(readEnd, len) or frameEnd -- first byte after the payload
    local function need(size)
        if bodyEnd < size then
            t:add_proto_expert_info(e.short, string.format("%s needs %d bytes, the frame has %d", name, size + 1, frameEnd + 1))
            return false
        end
        return true
    end

    if command == 0x02 and not request then
        if need(20) then
            t:add(f.search_unused, tvb(4, 4))
            add_address(t, f.search_ip, tvb(8, 4))
            t:add(f.search_mac, tvb(12, 6))
            t:add_le(f.search_firmware, tvb(18, 2))
            pinfo.cols.info:append(string.format(": %s, %s, firmware %d", tvb(8, 4):le_ipv4(),
                tostring(tvb(12, 6):ether()), tvb(18, 2):le_uint()))
        end
    elseif command ~= 0x02 then
        if need(PAYLOAD_OFFSET) then
            local mac = t:add(f.mac, tvb(MAC_OFFSET, 6))
            if request then mac:prepend_text("Target ") end
            pinfo.cols.info:append(" " .. tostring(tvb(MAC_OFFSET, 6):ether()))
            local payloadSize = bodyEnd - PAYLOAD_OFFSET
            if (command == 0x03 and not request) or (command == 0x04 and request) then
                if need(PAYLOAD_OFFSET + NETWORK_BLOCK_SIZE) then
                    dissect_network_block(tvb(PAYLOAD_OFFSET, NETWORK_BLOCK_SIZE), t, pinfo)
                end
            elseif command == 0x0F and request then
                if need(PAYLOAD_OFFSET + 6) then
                    t:add(f.new_mac, tvb(PAYLOAD_OFFSET, 6))
                    pinfo.cols.info:append(" -> " .. tostring(tvb(PAYLOAD_OFFSET, 6):ether()))
                end
            elseif command == 0x0A or command == 0x0B then
                if payloadSize > 0 then
                    dissect_device_frame(tvb(PAYLOAD_OFFSET, payloadSize), t, pinfo)
                    local func = tvb(PAYLOAD_OFFSET + 1, 1)
                    if payloadSize > 1 then
                        pinfo.cols.info:append(", " .. (functions[func:uint()] or string.format("function 0x%02X", func:uint())))
                    end
                end
            end
        end
    end

    -- The outer checksum: the byte after the payload.
    if readEnd and frameEnd >= len then
        if frameEnd == len then t:add_proto_expert_info(e.reply_no_sum) end
    elseif readEnd then
        local stored = tvb(frameEnd, 1):uint()
        local computed = frame_sum8(tvb(3, frameEnd - 3))
        local sum = t:add(f.checksum, tvb(frameEnd, 1))
        t:add(f.checksum_good, tvb(frameEnd, 1), stored == computed):set_generated()
        if stored ~= computed then
            sum:add_proto_expert_info(e.reply_sum, string.format("Sum 0x%02X, the bytes add up to 0x%02X", stored, computed))
        end
    elseif frameEnd >= HEADER_SIZE then
        local stored = tvb(frameEnd, 1):uint()
        local computed = frame_sum8(tvb(3, frameEnd - 3))
        local sum = t:add(f.checksum, tvb(frameEnd, 1))
        t:add(f.checksum_good, tvb(frameEnd, 1), stored == computed):set_generated()
        if stored ~= computed then
            sum:add_proto_expert_info(e.bad_checksum, string.format("Bad checksum 0x%02X, should be 0x%02X", stored, computed))
            pinfo.cols.info:append(" [BAD CHECKSUM]")
        end
    end
    if frameEnd + 1 < len then t:add(f.trailing, tvb(frameEnd + 1, len - frameEnd - 1)) end
    return len
end

DissectorTable.get("udp.port"):add(1901, vornik)
