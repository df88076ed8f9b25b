-- Drives the host for the instrument test, one session step per run:
--   ardour7-lua session.lua new PLAN.lua SESSION_DIR OUT.wav PLUGIN KIND
--   ardour7-lua session.lua reopen PLAN.lua SESSION_DIR OUT.wav PLUGIN KIND
--   ardour7-lua session.lua preset PLAN.lua SESSION_DIR OUT.wav PLUGIN LV2 PRESET_URI
-- KIND is LXVST (PLUGIN the module's path) or LV2 (PLUGIN the plug-in's URI).
-- "new" creates a 48 kHz session on the dummy backend with a MIDI track (test feed, then the
-- instrument), sets the planned parameters, exports, saves and closes. "reopen" loads that
-- session in a fresh process and exports again. "preset" is "new" with the plug-in's preset
-- chosen from the host's list in place of the planned parameters, and nothing saved. Each
-- prints every parameter as "PARAM i v". A plan may also set the session's tempo
-- (PLAN_TEMPO) and LV2 controls by the host's own numbers (PLAN_PORTS, printed as "PORT i v").
io.stdout:setvbuf ("no")
local mode, plan, folder, out, module, kind, preset = arg[1], arg[2], arg[3], arg[4], arg[5], arg[6], arg[7]
dofile (plan)

local SESSION_NAME = "lyrevane-test"
local TRACK_NAME = "Guitar"
local EXPORT_PRESET = "0d6b1f4a-7c2e-4f59-8a31-5e9b2c7d4f60"  -- lyrevane-float.preset

local function fail (message)
    print ("FAIL " .. message)
    os.exit (1)
end

-- The LV2 plug-in's controls are its ports in their own units: strings 0 to 71 as a
-- guitarist writes them (-1 muted, 0 open, 1 to 18 the fret), then the sound set, the reset
-- and the chord being played. The plan and the checks speak in the VST module's 77
-- parameters, where a string's value counts 19 steps from muted, so the LV2 values are
-- translated both ways here.
local POSITIONS = 19
local function lv2_control (parameter)
    if parameter < 72 then return parameter end
    if parameter == 75 then return 72 end
    return nil
end

local function set_parameter (instrument, index, value)
    if kind == "LV2" then
        local control = lv2_control (index)
        if index < 72 then value = math.floor (value * POSITIONS + 0.5) - 1 end
        return control ~= nil and ARDOUR.LuaAPI.set_processor_param (instrument, control, value)
    end
    return ARDOUR.LuaAPI.set_processor_param (instrument, index, value)
end

local function get_parameter (instrument, index)
    if kind ~= "LV2" then return ARDOUR.LuaAPI.get_processor_param (instrument, index, true) end
    if index < 72 then return (ARDOUR.LuaAPI.get_processor_param (instrument, index, true) + 1) / POSITIONS end
    if index == 75 then return ARDOUR.LuaAPI.get_processor_param (instrument, 72, true) end
    if index == 74 or index == 76 then return ARDOUR.LuaAPI.get_processor_param (instrument, 74, true) / 11 end
    return -1
end

local function print_parameters (instrument)
    for i = 0, 76 do
        print (string.format ("PARAM %d %.9g", i, get_parameter (instrument, i)))
    end
    for _, p in ipairs (PLAN_PORTS or {}) do
        print (string.format ("PORT %d %.9g", p[1], ARDOUR.LuaAPI.get_processor_param (instrument, p[1], true)))
    end
end

local function export_to (path)
    local export = Session:simple_export ()
    export:set_name (path:match ("([^/]+)%.wav$"))
    export:set_folder (path:match ("^(.*)/[^/]+$"))
    export:set_range (0, PLAN_LENGTH)
    if not export:set_preset (EXPORT_PRESET) then fail ("export preset not found") end
    if not export:run_export () then fail ("export failed") end
    print ("EXPORTED " .. path)
end

local backend = AudioEngine:set_backend ("None (Dummy)", "", "")
if not backend then fail ("no dummy backend") end
backend:set_device_name ("Silence")

if mode == "new" or mode == "preset" then
    if not create_session (folder, SESSION_NAME, 48000) then fail ("cannot create session") end
    if PLAN_TEMPO then
        local map = Temporal.TempoMap.write_copy ()
        map:set_tempo (Temporal.Tempo (PLAN_TEMPO, PLAN_TEMPO, 4), Temporal.timepos_t (0))
        Temporal.TempoMap.update (map)
        print ("TEMPO " .. Temporal.TempoMap.read ():tempo_at (Temporal.timepos_t (0)):note_types_per_minute ())
    end
    local found = false
    for p in ARDOUR.LuaAPI.list_plugins ():iter () do
        if kind == "LV2" and p.type == ARDOUR.PluginType.LV2 and p.unique_id == module then
            found = true
        elseif kind ~= "LV2" and p.type == ARDOUR.PluginType.LXVST and p.name == "Lyrevane" and p.path == module then
            found = true
        end
    end
    if not found then fail ("Lyrevane is not among the host's plug-ins at " .. module) end
    print ("FOUND " .. module)

    local tracks = Session:new_midi_track (
        ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1), ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 2),
        true, ARDOUR.PluginInfo (), nil, nil, 1, TRACK_NAME, ARDOUR.PresentationInfo.max_order,
        ARDOUR.TrackMode.Normal, false, false)
    if tracks:size () ~= 1 then fail ("cannot add a MIDI track") end
    local track = tracks:front ()
    local plugin_type = kind == "LV2" and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.LXVST
    local instrument = ARDOUR.LuaAPI.new_plugin (Session, kind == "LV2" and module or "Lyrevane", plugin_type, "")
    if instrument:isnil () then fail ("cannot instantiate Lyrevane") end
    track:add_processor_by_index (instrument, 0, nil, true)
    local feed = ARDOUR.LuaAPI.new_luaproc (Session, "Lyrevane Test Feed")
    if feed:isnil () then fail ("cannot load the test feed script") end
    track:add_processor_by_index (feed, 0, nil, true)
    if track:nth_plugin (0):name () ~= "Lyrevane Test Feed" or track:nth_plugin (1):name () ~= "Lyrevane" then
        fail ("unexpected processor order on the track")
    end
    print ("INSTANTIATED " .. instrument:display_name ())

    if mode == "preset" then
        local plugin = instrument:to_insert ():plugin (0)
        local record = plugin:preset_by_uri (preset)
        if not record.valid then fail ("the host does not list the preset " .. preset) end
        if not plugin:load_preset (record) then fail ("cannot load the preset " .. preset) end
        print ("PRESET " .. record.label)
    else
        for _, p in ipairs (PLAN_PARAMS) do
            if not set_parameter (instrument, p[1], p[2]) then
                fail ("cannot set parameter " .. p[1])
            end
        end
        for _, p in ipairs (PLAN_PORTS or {}) do
            if not ARDOUR.LuaAPI.set_processor_param (instrument, p[1], p[2]) then
                fail ("cannot set control " .. p[1])
            end
        end
    end
    print_parameters (instrument)
    export_to (out)
    if mode == "new" then
        if Session:save_state ("", false, false, false, false, false) ~= 0 then fail ("cannot save") end
        print ("SAVED")
    end
elseif mode == "reopen" then
    if not load_session (folder, SESSION_NAME) then fail ("cannot reopen the session") end
    local track = Session:route_by_name (TRACK_NAME)
    if track:isnil () then fail ("the reopened session has no track " .. TRACK_NAME) end
    local instrument = track:nth_plugin (1)
    if instrument:isnil () or instrument:name () ~= "Lyrevane" then fail ("the reopened track has no Lyrevane") end
    print_parameters (instrument)
    export_to (out)
else
    fail ("unknown step " .. tostring (mode))
end
close_session ()
print ("CLOSED")
