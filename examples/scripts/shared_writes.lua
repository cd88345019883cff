-- Counts the slave's writes to shared RAM A (0x200000-0x20ffff) in each
-- frame with a watch, and prints the counts every 60 frames and, at the end,
-- the fewest and most in a frame.
--
--   stonebreaker --headless --play demo.drv --frames 300 --script shared_writes.lua

local SLAVE = 2
local EVERY = 60
local writes, fewest, most, frames = 0, math.huge, 0, 0

sb.watch(SLAVE, 0x200000, 0x20ffff, "w", function() writes = writes + 1 end)

sb.on_frame(function(n)
  fewest, most, frames = math.min(fewest, writes), math.max(most, writes), frames + 1
  if n % EVERY == 0 then print(string.format("frame %d: %d writes", n, writes)) end
  writes = 0
end)

sb.on_stop(function()
  if frames > 0 then
    print(string.format("%d frames: %d to %d writes a frame", frames, fewest, most))
  end
end)
