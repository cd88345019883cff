-- Prints where the demo's eight balls are, every 60 frames, from the table
-- the slave computes in shared RAM: per ball x, y, palette and 0, as words.
--
--   stonebreaker --headless --play demo.drv --frames 600 --script balls.lua

local BALLS = 0x200500
local BALL_COUNT = 8
local EVERY = 60

sb.on_frame(function(n)
  if n % EVERY ~= 0 then return end
  local places = {}
  for ball = 0, BALL_COUNT - 1 do
    local at = BALLS + 8 * ball
    places[#places + 1] = string.format("%d,%d", sb.read16(1, at), sb.read16(1, at + 2))
  end
  print(string.format("frame %d: %s", n, table.concat(places, " ")))
end)
