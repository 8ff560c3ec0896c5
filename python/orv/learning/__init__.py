"""What the Gymnasium environments (``orv.gym``) and the reasoning-gym dataset
(``orv.reasoning``) share: generated puzzles drawn within a difficulty range, and a placement
played through the player's API."""
