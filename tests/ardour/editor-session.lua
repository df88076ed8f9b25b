-- Makes the session that the editor screenshot opens: a 48 kHz session on the dummy backend
-- with one MIDI track playing the instrument. Prints "EDITOR route-id processor-id", the two
-- ids that name the plug-in window in the host's saved window state.
--   ardour7-lua editor-session.lua SESSION_DIR SESSION_NAME
io.stdout:setvbuf ("no")
local folder, name = arg[1], arg[2]

local function fail (message)
    print ("FAIL " .. message)
    os.exit (1)
end

local backend = AudioEngine:set_backend ("None (Dummy)", "", "")
if not backend then fail ("no dummy backend") end
backend:set_device_name ("Silence")
if not create_session (folder, name, 48000) then fail ("cannot create session") end

local tracks = Session:new_midi_track (
    ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1), ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 2),
    true, ARDOUR.PluginInfo (), nil, nil, 1, "Guitar", ARDOUR.PresentationInfo.max_order,
    ARDOUR.TrackMode.Normal, false, false)
if tracks:size () ~= 1 then fail ("cannot add a MIDI track") end
local track = tracks:front ()
local instrument = ARDOUR.LuaAPI.new_plugin (Session, "Lyrevane", ARDOUR.PluginType.LXVST, "")
if instrument:isnil () then fail ("cannot instantiate Lyrevane") end
if track:add_processor_by_index (instrument, 0, nil, true) ~= 0 then
    fail ("cannot add Lyrevane")
end

local route_id = track:to_stateful ():id ():to_s ()
print ("EDITOR " .. route_id .. " " .. instrument:to_stateful ():id ():to_s ())
if Session:save_state ("", false, false, false, false, false) ~= 0 then fail ("cannot save") end
close_session ()
print ("SAVED")
