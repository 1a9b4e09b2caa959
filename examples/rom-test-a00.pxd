<Design>
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="rom=a00 if all read:"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="1" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="ｱｲｳｴｵ ﾔﾕﾖ ¥ → ←"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="2" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="αβεσρθ ∞ΩΣπ ÷ ° µ"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="3" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="äöüñ 千万円"/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
