-- A MIDI processor for the host test: sends the keys of PLAN_EVENTS (prepended to this file by
-- run-ardour-test.sh) at their exact transport samples, since the host's scripting offers no
-- way to create a MIDI region.
ardour {
    ["type"] = "dsp",
    name = "Lyrevane Test Feed",
    category = "Utility",
    license = "MIT",
    author = "Lyrevane",
    description = [[Plays the host test's planned keys at their transport samples.]]
}

function dsp_ioconfig ()
    return { { midi_in = 1, midi_out = 1, audio_in = 0, audio_out = 0 } }
end

function dsp_run (_, _, n_samples)
    if not Session:transport_rolling () then
        return
    end
    -- The cycle starts at the transport position; event times count from 1.
    local cycle_start = Session:transport_sample ()
    local n = 1
    for _, e in ipairs (PLAN_EVENTS) do
        if e[1] >= cycle_start and e[1] < cycle_start + n_samples then
            midiout[n] = { time = e[1] - cycle_start + 1, data = { e[2], e[3], e[4] } }
            n = n + 1
        end
    end
end
