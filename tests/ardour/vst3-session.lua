-- Drives the host for the VST3 tests, one session step per run:
--   ardour7-lua vst3-session.lua new SESSION_DIR PLUGIN OUT.wav [INDEX=VALUE]...
--   ardour7-lua vst3-session.lua reopen SESSION_DIR PLUGIN OUT.wav
-- PLUGIN is the VST3 plug-in's name as the scan recorded it; it goes on a MIDI track. "new"
-- creates a 48 kHz session on the dummy backend, sets the parameters given by the host's own
-- numbers (read-only ones count too) in the plug-in's units, exports a second, saves and
-- closes; "reopen" loads the session in a fresh process and exports again. The export also
-- makes sure the plug-in processed the new values before the host asks for its state: a
-- plug-in whose processor keeps the values (as Zam's do) would otherwise save the old ones
-- when the host's engine has not run a cycle in between. Each prints every parameter as
-- "PARAM i v".
io.stdout:setvbuf ("no")
local mode, folder, name, out = arg[1], arg[2], arg[3], arg[4]

local SESSION_NAME = "lyrevane-vst3-test"
local TRACK_NAME = "Test"
local EXPORT_PRESET = "0d6b1f4a-7c2e-4f59-8a31-5e9b2c7d4f60"  -- lyrevane-float.preset

local function fail (message)
    print ("FAIL " .. message)
    os.exit (1)
end

local function print_parameters (plugin)
    local count = plugin:to_insert ():plugin (0):parameter_count ()
    for i = 0, count - 1 do
        print (string.format ("PARAM %d %.9g", i, ARDOUR.LuaAPI.get_processor_param (plugin, i, true)))
    end
end

local function export_to (path)
    local export = Session:simple_export ()
    export:set_name (path:match ("([^/]+)%.wav$"))
    export:set_folder (path:match ("^(.*)/[^/]+$"))
    export:set_range (0, Session:nominal_sample_rate ())
    if not export:set_preset (EXPORT_PRESET) then fail ("export preset not found") end
    if not export:run_export () then fail ("export failed") end
    print ("EXPORTED " .. path)
end

local backend = AudioEngine:set_backend ("None (Dummy)", "", "")
if not backend then fail ("no dummy backend") end
backend:set_device_name ("Silence")

local plugin
if mode == "new" then
    if not create_session (folder, SESSION_NAME, 48000) then fail ("cannot create session") end
    local found = nil
    for p in ARDOUR.LuaAPI.list_plugins ():iter () do
        if p.type == ARDOUR.PluginType.VST3 and p.name == name then found = p end
    end
    if not found then fail (name .. " is not among the host's VST3 plug-ins") end
    print ("FOUND " .. found.name .. " " .. found.unique_id .. " " .. found.category)

    local tracks = Session:new_midi_track (
        ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1), ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 2),
        true, ARDOUR.PluginInfo (), nil, nil, 1, TRACK_NAME, ARDOUR.PresentationInfo.max_order,
        ARDOUR.TrackMode.Normal, false, false)
    if tracks:size () ~= 1 then fail ("cannot add a MIDI track") end
    local track = tracks:front ()
    plugin = ARDOUR.LuaAPI.new_plugin (Session, found.unique_id, ARDOUR.PluginType.VST3, "")
    if plugin:isnil () then fail ("cannot instantiate " .. name) end
    track:add_processor_by_index (plugin, 0, nil, true)
    if track:nth_plugin (0):name () ~= name then fail ("the track has no " .. name) end
    print ("INSTANTIATED " .. plugin:display_name ())
    for i = 5, #arg do
        local index, value = arg[i]:match ("^(%d+)=(.+)$")
        if not ARDOUR.LuaAPI.set_processor_param (plugin, tonumber (index), tonumber (value)) then
            fail ("cannot set parameter " .. arg[i])
        end
    end
    export_to (out)
    print_parameters (plugin)
    if Session:save_state ("", false, false, false, false, false) ~= 0 then fail ("cannot save") end
    print ("SAVED")
elseif mode == "reopen" then
    if not load_session (folder, SESSION_NAME) then fail ("cannot reopen the session") end
    local track = Session:route_by_name (TRACK_NAME)
    if track:isnil () then fail ("the reopened session has no track " .. TRACK_NAME) end
    plugin = track:nth_plugin (0)
    if plugin:isnil () or plugin:name () ~= name then fail ("the reopened track has no " .. name) end
    export_to (out)
    print_parameters (plugin)
else
    fail ("unknown step " .. tostring (mode))
end
close_session ()
print ("CLOSED")
