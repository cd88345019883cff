-- A program's regression test: after a number of frames, compares a region
-- of the screen with a reference PNG (a --screenshot of a good run) and
-- ends the run with exit status 0 when they match, 1 when they differ,
-- saying where. Set by the environment:
--   SB_REFERENCE  the reference PNG (default reference.png)
--   SB_FRAME      the frame to check (default 300)
--   SB_REGION     x,y,width,height of the region (default the whole screen)
--   SB_ACTUAL     on a difference, the screen is written there as PNG
--
--   SB_REFERENCE=good.png stonebreaker --headless --play demo.drv --script check_screen.lua

local reference = os.getenv("SB_REFERENCE") or "reference.png"
local frame = tonumber(os.getenv("SB_FRAME") or "300")
local x0, y0, width, height = 0, 0, 496, 480
if os.getenv("SB_REGION") then
  x0, y0, width, height = os.getenv("SB_REGION"):match("^(%d+),(%d+),(%d+),(%d+)$")
  assert(x0, "SB_REGION must be x,y,width,height")
  x0, y0, width, height = tonumber(x0), tonumber(y0), tonumber(width), tonumber(height)
end

local referenceWidth, referenceHeight, expected = sb.read_png(reference)
assert(x0 + width <= referenceWidth and y0 + height <= referenceHeight,
       "the region is not inside " .. reference)

sb.on_frame(function(n)
  if n < frame then return end
  local differ, first = 0, nil
  for y = y0, y0 + height - 1 do
    for x = x0, x0 + width - 1 do
      local seen, wanted = sb.pixel(x, y), expected(x, y)
      if seen ~= wanted then
        differ = differ + 1
        first = first or string.format("(%d, %d): 0x%06x instead of 0x%06x", x, y, seen, wanted)
      end
    end
  end
  if differ == 0 then
    print(string.format("frame %d: %dx%d at (%d, %d) matches %s", n, width, height, x0, y0,
                        reference))
    sb.stop(0)
    return
  end
  print(string.format("frame %d: %d pixels differ from %s, the first at %s", n, differ,
                      reference, first))
  if os.getenv("SB_ACTUAL") then sb.screenshot(os.getenv("SB_ACTUAL")) end
  sb.stop(1)
end)
